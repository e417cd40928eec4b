"""Natural-gas properties and phase equilibria with the GERG-2008 equation of state.

Prepare a gas once, then compute over numpy arrays of temperature (K) and
pressure (MPa)::

    import numpy as np, ngtherm
    gas = ngtherm.Gas({"CH4": 90, "C2H6": 5, "N2": 3, "CO2": 2})
    s = gas.state(T=np.linspace(250, 350, 101), p=5.0)
    s.rho, s.h, s.phase, s.status
"""

from ._gas import (
    COMPONENT_NAMES,
    COMPONENTS,
    CalculationError,
    Envelope,
    Equilibria,
    EquilibriumStatus,
    Flash,
    Gas,
    Phase,
    PhaseValues,
    Properties,
    Saturation,
    States,
    StateStatus,
    WaterDewLine,
    status_meaning,
)
from ._version import __version__

__all__ = [
    "COMPONENTS",
    "COMPONENT_NAMES",
    "CalculationError",
    "Envelope",
    "Equilibria",
    "EquilibriumStatus",
    "Flash",
    "Gas",
    "Phase",
    "PhaseValues",
    "Properties",
    "Saturation",
    "States",
    "StateStatus",
    "WaterDewLine",
    "status_meaning",
    "__version__",
]
