// ui_driver: the end-to-end tests' hands and eyes on the real program's
// windows. Each argument list is a sequence of steps (see Driver::Usage).
#include <cstdio>
#include <string>
#include <vector>

#include "driver.h"

int main(int argc, char** argv) {
    std::vector<std::string> words(argv + 1, argv + argc);
    if (words.empty() || words[0] == "help") {
        std::printf("%s", zel::e2e::Driver::Usage().c_str());
        return words.empty() ? 2 : 0;
    }
    zel::e2e::Driver driver{zel::e2e::DriverTimings{}};
    return driver.Run(words);
}
