#include "installer/ProductConfigAccess.h"

#include "installer/RvInstallException.h"

CProductConfig& InstallProductConfig() {
    CProductConfig* config = CProductConfig::Instance();
    if (config == nullptr)
        throw CRvInstallException(10, 0, "product config");
    return *config;
}
