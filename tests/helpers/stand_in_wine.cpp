// Stands in for Wine as the interpreter that the kernel hands Windows
// programs to: reads its standard input to the end, then exits.

#include <cstdio>

int main() {
    while (std::getchar() != EOF) {
    }
    return 0;
}
