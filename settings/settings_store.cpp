#include "settings/settings_store.h"

namespace kormoszi {

ESettingsError::ESettingsError(const QString& message)
    : std::runtime_error(message.toStdString()) {}

}  // namespace kormoszi
