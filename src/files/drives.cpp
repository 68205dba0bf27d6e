#include "files/drives.h"

#include "core/str.h"
#include "files/win32.h"

namespace {

String rootOf(char letter) { return String::format("%c:\\", letter); }

}  // namespace

bool driveExists(char letter) { return GetDriveTypeA(rootOf(letter).cStr()) != DRIVE_NO_ROOT_DIR; }

int32_t clusterSize(char letter) {
    if (!isAlpha(static_cast<unsigned char>(letter))) return -1;
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
    if (!GetDiskFreeSpaceA(rootOf(letter).cStr(), &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters))
        return -1;
    return static_cast<int32_t>(sectorsPerCluster * bytesPerSector);
}

int64_t diskFreeSpace(char letter) {
    if (!isAlpha(static_cast<unsigned char>(letter))) return -1;
    return diskFreeSpace(rootOf(letter).cStr());
}

int64_t diskFreeSpace(const char* rootPath) {
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
    if (!GetDiskFreeSpaceA(rootPath, &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters)) return -1;
    return static_cast<int64_t>(sectorsPerCluster) * bytesPerSector * freeClusters;
}
