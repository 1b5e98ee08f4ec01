// The product configuration as the install steps use it.
#pragma once

#include "base/ProductConfig.h"

// The process-wide CProductConfig instance; throws CRvInstallException
// ("product config") when it could not be created, so that no record is
// silently lost.
CProductConfig& InstallProductConfig();
