#include "NativePath.h"

#include <QFile>

namespace quillora::selection {

std::string toNativePath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

QString fromNativePath(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

} // namespace quillora::selection
