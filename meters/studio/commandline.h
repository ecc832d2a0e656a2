#ifndef COMMANDLINE_H
#define COMMANDLINE_H

// --help and --version, answered before the application object exists, so
// they work without a display. Returns the exit status when one of them was
// given, -1 otherwise (every other argument is left to Qt).
int answerInformationOptions(int argc, char **argv);

#endif  // COMMANDLINE_H
