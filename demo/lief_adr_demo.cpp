// A stand-in for the lookup program: reads a request from standard input
// and prints an 80-column text screen with a supplier's address to standard
// output, lines ended by CR LF, characters in ISO 8859-1.
//
// "adr" CR "1" and "adr" CR "2" print the records 1 and 2; any other
// request prints a screen that says the record was not found. The last ten
// lines of each screen are laid out as the caller expects: a label, three
// blanks and the company name, seven further lines of the record, a status
// line and a prompt.

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace {

struct Record {
    std::string_view request;
    std::vector<std::string_view> lines;  // label line and seven more
};

const Record kRecords[] = {
    {"adr\r1",
     {"Firma   Müller & Söhne Büromaschinen GmbH",
      "Zusatz  z. Hd. Frau Weiß, Einkauf",
      "Straße  Königstraße 12",
      "Ort     D-70173 Stuttgart",
      "Telefon 0711 / 22 33 44",
      "Telefax 0711 / 22 33 45",
      "Kunden-Nr. bei Lieferant: 4711-Ä",
      "Zahlung 30 Tage netto, 14 Tage 2 % Skonto"}},
    {"adr\r2",
     {"Firma   Öztürk Papier- und Schreibwaren KG",
      "Zusatz  Großhandel für Bürobedarf",
      "Straße  Am Güterbahnhof 3a",
      "Ort     D-50667 Köln",
      "Telefon 0221 / 98 76 54",
      "Telefax 0221 / 98 76 55",
      "Kunden-Nr. bei Lieferant: K-0815",
      "Zahlung 10 Tage netto"}},
};

const std::vector<std::string_view> kNotFound = {
    "Meldung   Kein Lieferant zu dieser Anfrage gefunden.",
    "Zusatz  Gültige Anfragen: adr<CR>1 und adr<CR>2.",
    "", "", "", "", "", ""};

// The screen's text is written here in UTF-8; the program prints ISO 8859-1.
std::string ToLatin1(std::string_view utf8) {
    std::string out;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if ((c & 0xE0) == 0xC0 && i + 1 < utf8.size()) {
            const auto next = static_cast<unsigned char>(utf8[++i]);
            out.push_back(static_cast<char>(((c & 0x1F) << 6) | (next & 0x3F)));
        } else {
            out.push_back(static_cast<char>(c));
        }
    }
    return out;
}

std::string Screen(const std::vector<std::string_view>& recordLines, std::string_view status) {
    std::vector<std::string_view> lines = {
        "FIBU Lieferantenadressen                                            Suchprogramm",
        "--------------------------------------------------------------------------------",
        "",
        "Lieferantenstammdaten, Adressteil",
        "",
    };
    lines.insert(lines.end(), recordLines.begin(), recordLines.end());
    lines.push_back(status);
    lines.push_back("Weiter mit beliebiger Taste ...");
    std::string screen;
    for (const auto line : lines) {
        screen += ToLatin1(line);
        screen += "\r\n";
    }
    return screen;
}

}  // namespace

int main() {
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    std::string request;
    char buffer[256];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, stdin)) > 0 && request.size() < 4096) {
        request.append(buffer, n);
    }

    std::string screen;
    for (const auto& record : kRecords) {
        if (request == record.request) screen = Screen(record.lines, "Datensatz gelesen.");
    }
    if (screen.empty()) screen = Screen(kNotFound, "Datensatz nicht gefunden.");
    return std::fwrite(screen.data(), 1, screen.size(), stdout) == screen.size() &&
                   std::fflush(stdout) == 0
               ? 0
               : 1;
}
