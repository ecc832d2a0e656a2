// korvane: the engineer's command-line client for a korvane mixer.
#include "cli.h"

int main(int argc, char **argv)
{
    return kcli::run(std::vector<std::string>(argv + 1, argv + argc));
}
