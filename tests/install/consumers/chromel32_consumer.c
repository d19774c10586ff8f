/* Uses the installed chromel32. */
#include <chromel32.h>
#include <stdio.h>

int main(void) {
    int32_t version = 0;
    PointRecord white;
    static SpectrumRecord light, reflectance;
    ColorRecord xyz;
    double lux = 0.0;
    double kelvin = 0.0;
    uint32_t i;

    QelColor_Version(&version);
    if (version != 400 || QelColor_GetWhitePoint(QEL_ILLUMINANT_D65, 2, &white) != -1 ||
        white.Y != 1.0) {
        fprintf(stderr, "unexpected answers from chromel32\n");
        return 1;
    }

    /* A perfect white under D65 has Y = 1; D65 itself is near 6500 K. */
    reflectance.start = 380;
    reflectance.interval = 1;
    reflectance.count = QEL_SPECTRUM_SLOTS;
    for (i = 0; i < QEL_SPECTRUM_SLOTS; ++i)
        reflectance.values[i] = 1.0;
    QelColor_Spectrum2XYZRef(QEL_ILLUMINANT_D65, &reflectance, 2, &xyz);
    QelColor_XYZ2ColorTemperature(&xyz, &kelvin);
    QelColor_GetLightSourceSpectrum(QEL_ILLUMINANT_D65, &light);
    QelColor_Spectrum2IlluminanceAmb(&light, 2, &lux);
    if (xyz.v[1] != 1.0 || kelvin < 6400.0 || kelvin > 6600.0 || lux <= 0.0) {
        fprintf(stderr, "unexpected spectral answers from chromel32\n");
        return 1;
    }

    /* The white converts to L* = 100; two colours 5 apart. */
    {
        ColorRecord w = {{white.X, white.Y, white.Z, 0.0}};
        ColorRecord lab, other = {{53.0, 4.0, 0.0, 0.0}}, grey = {{50.0, 0.0, 0.0, 0.0}};
        QelColor_XYZ2Lab(&w, QEL_ILLUMINANT_D65, 2, &lab);
        if (lab.v[0] != 100.0 || QelColor_CalcDeltaEab(&grey, &other) != 5.0) {
            fprintf(stderr, "unexpected conversion answers from chromel32\n");
            return 1;
        }
    }
    return 0;
}
