#include "installer/installed_product.h"

#include "files/path_text.h"
#include "registry/registry.h"

String productRecordPath(const String& productName) {
    return joinPath("Microsoft\\Windows\\CurrentVersion\\Uninstall", productName);
}

bool isProductKeyName(const String& productName) {
    return !productName.isBlank() && productName.findFirstOf("\\\"") < 0;
}

bool isProductInstalled(const String& productName, String* location) {
    if (!isProductKeyName(productName)) return false;
    String path = productRecordPath(productName);
    if (!softwareKeyExists(path.cStr(), false)) return false;
    if (!openSoftwareKey(path.cStr(), false, 0)) return false;
    bool installed = valueExists("UninstallString") || valueExists("QuietUninstallString");
    if (location) *location = installed ? getString("InstallLocation", "", 0) : String();
    closeKey();
    return installed;
}
