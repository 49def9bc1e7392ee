#include "Font.h"

#include <iostream>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// From the Debian package fonts-liberation2.
const fs::path kSystemFont = "/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf";

} // namespace

bool copyFont(const fs::path& resourcesDir) {
    std::error_code error;
    if (!fs::is_regular_file(kSystemFont, error)) {
        std::cerr << "Font: " << kSystemFont.string()
                  << " not found; install the package fonts-liberation2" << std::endl;
        return false;
    }
    const fs::path target = resourcesDir / "fonts" / "arial.ttf";
    fs::create_directories(target.parent_path(), error);
    if (!error)
        fs::copy_file(kSystemFont, target, fs::copy_options::overwrite_existing, error);
    if (error) {
        std::cerr << "Font: cannot write " << target.string() << ": " << error.message()
                  << std::endl;
        return false;
    }
    return true;
}
