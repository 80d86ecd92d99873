#include "shared_folder/fixed_paths.h"

#include "fibu_dir.h"

namespace keil {

const std::string& FibuDir() {
    static const std::string dir = KEIL_FIBU_DIR;
    return dir;
}

std::string RequestFilePath() { return FibuDir() + "in.txt"; }

std::string ResponseFilePath() { return FibuDir() + "out.txt"; }

std::string ProgramPath() { return FibuDir() + "Lief-adr.exe"; }

std::string CommandHead() { return ProgramPath() + " <"; }

std::string JoinCommandLine() {
    return CommandHead() + RequestFilePath() + kOutputRedirection + ResponseFilePath();
}

const std::string& HelperPath() {
    static const std::string helper = KEIL_EXCHANGE_HELPER;
    return helper;
}

LookupPlace FixedLookupPlace() { return {FibuDir(), JoinCommandLine(), HelperPath()}; }

}  // namespace keil
