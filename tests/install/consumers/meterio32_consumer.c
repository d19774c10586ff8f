/* Uses the installed meterio32. */
#include <stdio.h>

#include <meterio32.h>

int main(void) {
    uint32_t version = 0;
    ReaderHandle handle = 0;
    if (QelAmbientReader_Version(&version) != METERIO_OK || version != 400 ||
        QelSpotReader_Version(&version) != METERIO_OK || version != 400 ||
        QelAmbientReader_SetParamEx(0, NULL) != METERIO_NOT_OFFERED ||
        QelAmbientReader_Open(1, NULL, 0, NULL, &handle) != METERIO_GENERAL_FAILURE ||
        QelAmbientReader_Close(handle) != METERIO_BAD_HANDLE) {
        fprintf(stderr, "unexpected answers from meterio32\n");
        return 1;
    }
    return 0;
}
