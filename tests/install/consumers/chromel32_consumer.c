/* Uses the installed chromel32. */
#include <stdio.h>

#include <chromel32.h>

int main(void) {
    int32_t version = 0;
    PointRecord white;
    QelColor_Version(&version);
    if (version != 400 || QelColor_GetWhitePoint(QEL_ILLUMINANT_D65, 2, &white) != -1 ||
        white.Y != 1.0) {
        fprintf(stderr, "unexpected answers from chromel32\n");
        return 1;
    }
    return 0;
}
