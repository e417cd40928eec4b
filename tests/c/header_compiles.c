/* Compiles include/ngtherm.h as strict C and checks the declared function
 * types: each export is assigned to a pointer of the type it must have. Only
 * compiled, never linked. */
#include "ngtherm.h"

typedef void(NGTHERM_CALL* PropertyExport)(const double*, const double*, const double*,
                                           const int16_t*, int16_t*, double*, double*,
                                           int16_t*);
typedef void(NGTHERM_CALL* FlashExport)(const double*, const double*, const double*, int16_t*,
                                        double*, double*, double*, double*, int16_t*);
typedef void(NGTHERM_CALL* PhaseExport)(const double*, const double*, const double*,
                                        const double*, const double*, const double*,
                                        const double*, const double*, int16_t*, double*,
                                        int32_t*, double*, double*, int16_t*);

struct ExportTable {
    PropertyExport properties[12];
    FlashExport flash;
    PhaseExport envelope;
};

const struct ExportTable ngtherm_header_exports = {
    {gerg2008, gerg2008_z, gerg2008_k, gerg2008_rho, gerg2008_u, gerg2008_h, gerg2008_s,
     gerg2008_cv, gerg2008_cp, gerg2008_sos, gerg2008_kappa, gerg2008_jtc},
    flash_tp,
    phase,
};
