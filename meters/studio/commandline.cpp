#include "commandline.h"

#include <cstdio>
#include <cstring>

#include "korvane.h"
#include "tavelin_version.h"

namespace {

const char *const usage = "Usage: tavelin-meters [--help] [--version] [Qt options]\n"
                          "Studio meter display for the korvane mixer: PPM meters, clocks, module\n"
                          "lamps and studio signals, received over UDP.\n"
                          "\n"
                          "  --help       show this help and exit\n"
                          "  --version    show the program's and the library's version and exit\n"
                          "\n"
                          "The mixer's address and ports are set in the settings dialog (the gear,\n"
                          "or Ctrl+,). Incidents are written to standard error, one line each.\n"
                          "See tavelin-meters(1) for the settings keys, the files and the events.\n";

}  // namespace

int answerInformationOptions(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) {
            std::fputs(usage, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("tavelin-meters %s\n%s\n", TAVELIN_VERSION_TEXT, korvane_library_version(nullptr));
            return 0;
        }
    }
    return -1;
}
