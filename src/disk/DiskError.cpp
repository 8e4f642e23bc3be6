#include "DiskError.h"

#include <string>

namespace quillora::disk {

namespace {

class DiskErrorCategory : public std::error_category {
public:
    const char* name() const noexcept override { return "quillora-disk"; }
    std::string message(int value) const override {
        switch (static_cast<DiskError>(value)) {
        case DiskError::NotARegularFile:
            return "Not a regular file";
        case DiskError::ChangedDuringRun:
            return "changed during the run; left as it is";
        }
        return "Unknown error";
    }
};

} // namespace

const std::error_category& diskErrorCategory() {
    static const DiskErrorCategory category;
    return category;
}

std::error_code make_error_code(DiskError error) {
    return {static_cast<int>(error), diskErrorCategory()};
}

} // namespace quillora::disk
