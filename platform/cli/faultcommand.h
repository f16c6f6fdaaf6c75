#ifndef FAULTCOMMAND_H
#define FAULTCOMMAND_H

// grv480-cli fault ...: argv[1] is "fault"; returns the exit code.
int faultCommand(int argc, char **argv);

#endif // FAULTCOMMAND_H
