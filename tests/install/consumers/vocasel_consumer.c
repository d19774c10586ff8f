/* Uses the installed vocasel: a module beside nothing is never found, and null strings fail. */
#include <stdio.h>
#include <vocasel.h>
#include <wchar.h>

int main(void) {
    wchar_t path[VOCASEL_MAX_PATH] = L"";
    if (VocaselFileW(0x0411, L"/nonexistent-dir", L"lang_vq_", L"%04X", L".dll", L"??%02X", 1033,
                     path) != 0 ||
        FindPrimaryLangDllA(0x0411, "/", NULL, "??%02X", ".dll") != 0 || path[0] != 0) {
        fprintf(stderr, "unexpected answers from vocasel\n");
        return 1;
    }
    return 0;
}
