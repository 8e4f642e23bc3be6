#pragma once

#include "HyperLink.h"

namespace quillora::ui {

/// The same link under its second class name, as the Welcome page's web link uses it.
class HyperLink2 : public HyperLink {
    Q_OBJECT

public:
    using HyperLink::HyperLink;
};

} // namespace quillora::ui
