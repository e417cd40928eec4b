/* A C program of a user of the shared library: Z and the density of a natural
 * gas, with the status checked. */
#include <stdio.h>

#include "ngtherm.h"

int main(void) {
    double composition[NGTHERM_COMPONENT_COUNT] = {0};
    double p = 5.0, T = 300.0; /* MPa, K */
    int16_t selector = 0, range_set = 0, status[11];
    double result[11], echo[NGTHERM_COMPONENT_COUNT];
    composition[NGTHERM_CH4] = 90.0; /* mol-% */
    composition[NGTHERM_C2H6] = 5.0;
    composition[NGTHERM_N2] = 3.0;
    composition[NGTHERM_CO2] = 2.0;
    gerg2008(composition, &p, &T, &selector, &range_set, result, echo, status);
    if (status[0] > 0 || status[2] > 0) {
        fprintf(stderr, "gerg2008 failed with status %d\n", status[0] > 0 ? status[0] : status[2]);
        return 1;
    }
    printf("Z %.6f, density %.4f kg/m3\n", result[0], result[2]);
    return result[0] > 0.8 && result[0] < 1.0 ? 0 : 1;
}
