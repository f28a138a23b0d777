// The failure of every reader and writer of the launcher's resources: bad input (an .ico file, a
// manifest, the launcher's own resources) or a layout they do not handle, with the reason.
#pragma once

#include <stdexcept>
#include <string>

namespace qvx::branding {

class BrandingError : public std::runtime_error {
public:
    explicit BrandingError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace qvx::branding
