// support-bundle gathers its items by running the tool's own commands as
// children and packing them with tar; the Windows console program has
// neither yet, and says so rather than writing half a bundle.
#include "cli/ExitStatus.h"
#include "cli/SupportBundle.h"

namespace marnel::cli {

int MakeSupportBundle(const Console& console, IFileSystem&, IEnvironment&, const GlobalOptions&,
                      const std::string&) {
    console.Failure(
        "marnel: support-bundle is not available on Windows yet; attach the output of "
        "'marnel --json doctor', 'marnel --json list' and 'marnel history' instead");
    return kExitUsage;
}

}  // namespace marnel::cli
