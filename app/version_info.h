// What `luxador --version` reports, and where the program finds the simulated instruments.
#ifndef APP_VERSION_INFO_H
#define APP_VERSION_INFO_H

#include <ostream>
#include <string>

namespace app {

// The program's version, the versions and files of the colour and instrument libraries as
// they load now, and the directories the instrument library searches for vendor modules.
void printVersion(std::ostream& out);

// Directory of the simulated vendor libraries: "sim" beside the program in a build tree,
// else the simulator package's directory under the installed library directory. The first
// holding the simulated EyeOne wins; the build tree's is returned when neither does.
std::string simulatorDir();

}  // namespace app

#endif  // APP_VERSION_INFO_H
