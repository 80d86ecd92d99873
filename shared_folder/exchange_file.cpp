#include "exchange_file.h"

namespace keil {

bool ResponseMayBeCutShort(std::int64_t size, std::int64_t reserved, std::int64_t freeAfter) {
    return size >= reserved && freeAfter < kResponseRoom;
}

}  // namespace keil
