#include "catalogue/database_error.h"

namespace velm {

EDatabaseError::EDatabaseError(QString message, std::vector<int> codes)
    : message_(std::move(message)), codes_(std::move(codes)), utf8_(message_.toStdString()) {}

}  // namespace velm
