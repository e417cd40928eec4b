"""The Gas and its results: numpy arrays over broadcast temperatures and pressures.

Units are those of the C++ API: T in K, p in MPa; molar basis for states and
equilibria (mol/dm3, J/mol, J/(mol K), m/s, K/MPa); mass basis for
``properties`` (kg/m3, kJ/kg, kJ/(kg K)); compositions as mole fractions in
``COMPONENTS`` order.
"""

from __future__ import annotations

import math
from dataclasses import dataclass
from enum import IntEnum
from typing import TYPE_CHECKING, Any, Literal, Mapping, Optional, Tuple

import numpy as np
from numpy.typing import ArrayLike, NDArray

from . import _core

if TYPE_CHECKING:
    import pandas
    from matplotlib.axes import Axes

COMPONENTS: Tuple[str, ...] = tuple(_core.component_id(i) for i in range(_core.COMPONENT_COUNT))
"""Component ids in model order: the order of every composition axis."""
COMPONENT_NAMES: Tuple[str, ...] = tuple(
    _core.component_name(i) for i in range(_core.COMPONENT_COUNT)
)

# Largest deviation of the sum of mole percentages from 100.
PERCENT_SUM_TOLERANCE = 1e-4
PROPERTY_NAMES = ("rho", "Z", "u", "h", "s", "cv", "cp", "w", "kappa", "jt")
EXPORT_NAMES: Tuple[str, ...] = tuple(_core.EXPORT_PROPERTY_NAMES)
_EXTERNAL_ORDER = np.array(_core.external_order())
_ROOTS = {"liquid": 0, "vapour": 1, "vapor": 1, "stable": 2}
_PHASE_SELECTORS = {"overall": 0, "liquid": 1, "vapour": 2, "vapor": 2}
_PHASE_NAMES = np.array(["liquid-like", "vapour-like", ""])
_OUTCOMES = ("left_window", "step_too_small", "failed", "point_limit", "folded")
_SATURATION_STATUS = ("converged", "not_converged", "no_point", "incomplete_line", "failed", "pure_fluid",
                      "trivial", "metastable")
_BRANCHES = ("", "upper", "lower", "water")
_SATURATION_KINDS = {"p": 0, "T": 1, "cricondentherm": 2, "cricondenbar": 3}
_WATER_KINDS = {"p": 4, "T": 5}
_POINT_KINDS = (
    "ordinary",
    "critical",
    "max_temperature",
    "max_pressure",
    "tabulated",
    "min_temperature",
    "min_pressure",
    "caller_temperature",
    "caller_pressure",
)


class CalculationError(RuntimeError):
    """A state that could not be computed, raised only with ``errors="raise"``."""


class Phase(IntEnum):
    """Which density root a state took (``States.phase``)."""

    NONE = -1  #: no density root was found
    LIQUID_LIKE = 0
    VAPOUR_LIKE = 1


class StateStatus(IntEnum):
    """Status of a single-phase state (``States.status``)."""

    OK = 0  #: computed
    NO_DENSITY = 1  #: no density root at (T, p): every value is NaN
    NEGATIVE_SOUND_SPEED = 2  #: mechanically unstable root: w and the values built on it are NaN
    NO_SUCH_ROOT = 3  #: the vapour-like root asked for does not exist at (T, p): every value is NaN


class EquilibriumStatus(IntEnum):
    """Status of an equilibrium state (``Equilibria.status``)."""

    SUCCESS = 0  #: computed
    SPLIT_FAILED = 1  #: the stability test or the split failed: every value is NaN


def status_meaning(code: int) -> str:
    """The meaning of a status code of the C interface (``properties``, ``flash``, ``envelope``)."""
    return _core.status_meaning(int(code))


def _workers(workers: Optional[int]) -> int:
    if workers is None:
        return 0
    if isinstance(workers, bool) or not isinstance(workers, (int, np.integer)) or workers < 1:
        raise ValueError(f"workers must be a positive integer or None, got {workers!r}")
    return int(workers)


def _errors(errors: str) -> bool:
    if errors not in ("nan", "raise"):
        raise ValueError(f"errors must be 'nan' or 'raise', got {errors!r}")
    return errors == "raise"


def _choice(value: str, choices: Mapping[str, int], what: str) -> int:
    if value not in choices:
        raise ValueError(f"{what} must be one of {', '.join(map(repr, choices))}, got {value!r}")
    return choices[value]


def _points(T: ArrayLike, p: ArrayLike) -> Tuple[NDArray[np.float64], NDArray[np.float64]]:
    """T and p broadcast against each other, as float64 arrays of one shape."""
    T_b, p_b = np.broadcast_arrays(np.asarray(T, dtype=np.float64), np.asarray(p, dtype=np.float64))
    return np.array(T_b, dtype=np.float64), np.array(p_b, dtype=np.float64)


def _first_failure(failed: NDArray[np.bool_]) -> Optional[Tuple[int, ...]]:
    flat = np.flatnonzero(failed)
    return np.unravel_index(int(flat[0]), failed.shape) if flat.size else None  # type: ignore[return-value]


@dataclass(frozen=True)
class PhaseValues:
    """Single-phase properties on the molar basis, each an array of the broadcast shape."""

    rho: NDArray[np.float64]  #: mol/dm3
    Z: NDArray[np.float64]
    u: NDArray[np.float64]  #: J/mol
    h: NDArray[np.float64]  #: J/mol
    s: NDArray[np.float64]  #: J/(mol K)
    cv: NDArray[np.float64]  #: J/(mol K)
    cp: NDArray[np.float64]  #: J/(mol K)
    w: NDArray[np.float64]  #: m/s
    kappa: NDArray[np.float64]  #: isentropic exponent
    jt: NDArray[np.float64]  #: K/MPa

    @classmethod
    def _from_rows(cls, rows: NDArray[np.float64], shape: Tuple[int, ...]) -> "PhaseValues":
        return cls(*(row.reshape(shape) for row in rows))


@dataclass(frozen=True)
class States:
    """Single-phase states (``Gas.state``), molar basis; arrays of the broadcast shape."""

    T: NDArray[np.float64]  #: K
    p: NDArray[np.float64]  #: MPa
    rho: NDArray[np.float64]  #: mol/dm3
    Z: NDArray[np.float64]
    u: NDArray[np.float64]  #: J/mol
    h: NDArray[np.float64]  #: J/mol
    s: NDArray[np.float64]  #: J/(mol K)
    cv: NDArray[np.float64]  #: J/(mol K)
    cp: NDArray[np.float64]  #: J/(mol K)
    w: NDArray[np.float64]  #: m/s
    kappa: NDArray[np.float64]  #: isentropic exponent
    jt: NDArray[np.float64]  #: K/MPa
    phase: NDArray[np.int8]
    """Which root the state took: ``Phase`` codes (0 liquid-like, 1 vapour-like, -1 none)."""
    status: NDArray[np.int8]  #: ``StateStatus`` codes

    @property
    def phase_name(self) -> NDArray[np.str_]:
        """``phase`` in words: "liquid-like", "vapour-like", or "" without a density."""
        return _PHASE_NAMES[self.phase]

    def to_pandas(self) -> "pandas.DataFrame":
        """One row per state: T, p, the ten properties, phase and status."""
        import pandas as pd

        names = ("T", "p") + PROPERTY_NAMES + ("phase", "status")
        frame = pd.DataFrame({name: np.ravel(getattr(self, name)) for name in names})
        frame["phase"] = np.ravel(self.phase_name)
        return frame


@dataclass(frozen=True)
class Properties:
    """The eleven properties of the C function gerg2008, mass basis (``Gas.properties``)."""

    Z: NDArray[np.float64]
    K: NDArray[np.float64]  #: Z / Z of the gas at the normal state
    rho: NDArray[np.float64]  #: kg/m3
    u: NDArray[np.float64]  #: kJ/kg
    h: NDArray[np.float64]  #: kJ/kg
    s: NDArray[np.float64]  #: kJ/(kg K)
    cv: NDArray[np.float64]  #: kJ/(kg K)
    cp: NDArray[np.float64]  #: kJ/(kg K)
    w: NDArray[np.float64]  #: m/s
    kappa: NDArray[np.float64]  #: isentropic exponent
    jt: NDArray[np.float64]  #: K/MPa
    T: NDArray[np.float64]
    p: NDArray[np.float64]
    status: NDArray[np.int16]
    """Shape + (11,): the export's code per element and property; NaN values where > 0."""


@dataclass(frozen=True)
class Equilibria:
    """Phase equilibria (``Gas.equilibrium``); NaN everywhere a status is not SUCCESS."""

    T: NDArray[np.float64]
    p: NDArray[np.float64]
    phases: NDArray[np.int8]  #: 1 or 2; 0 where the calculation failed
    beta: NDArray[np.float64]  #: vapour fraction, mol/mol (one phase: 1 vapour-like, 0 liquid-like)
    x: NDArray[np.float64]  #: shape + (21,), liquid-like phase, mole fractions
    y: NDArray[np.float64]  #: shape + (21,), vapour-like phase, mole fractions
    liquid: PhaseValues  #: the liquid-like phase (the feed itself with one phase)
    vapour: PhaseValues  #: the vapour-like phase (the feed itself with one phase)
    overall: PhaseValues  #: the whole; with two phases w, kappa and jt are NaN
    liquid_molar_mass: NDArray[np.float64]  #: kg/mol
    vapour_molar_mass: NDArray[np.float64]  #: kg/mol
    status: NDArray[np.int8]  #: ``EquilibriumStatus`` codes

    @property
    def Z1(self) -> NDArray[np.float64]:
        return self.liquid.Z

    @property
    def Z2(self) -> NDArray[np.float64]:
        return self.vapour.Z

    @property
    def rho1(self) -> NDArray[np.float64]:
        """mol/dm3"""
        return self.liquid.rho

    @property
    def rho2(self) -> NDArray[np.float64]:
        """mol/dm3"""
        return self.vapour.rho


@dataclass(frozen=True)
class Flash:
    """The flash of the C function flash_tp (``Gas.flash``); NaN where status > 0."""

    T: NDArray[np.float64]
    p: NDArray[np.float64]
    beta: NDArray[np.float64]  #: vapour fraction, mol/mol
    liquid_fraction: NDArray[np.float64]  #: 1 - beta
    liquid_content: NDArray[np.float64]  #: mg of liquid per m3 of gas at 273.15 K, 0.101325 MPa
    x: NDArray[np.float64]  #: shape + (21,), liquid-like phase, mole fractions
    y: NDArray[np.float64]  #: shape + (21,), vapour-like phase, mole fractions
    status: NDArray[np.int16]  #: -1 or 0 success, > 0 failure (``status_meaning``)


@dataclass(frozen=True)
class WaterDewLine:
    """Where an aqueous phase first appears on cooling, by increasing pressure
    (``Envelope.water_dew``); empty for a dry gas."""

    T: NDArray[np.float64]  #: K
    p: NDArray[np.float64]  #: MPa
    incipient: NDArray[np.float64]  #: (points, 21), the aqueous phase, mole fractions


@dataclass(frozen=True)
class Envelope:
    """A line of constant vapour fraction in the T-p plane (``Gas.envelope``),
    with the water dew line of a gas that holds water."""

    beta: float
    T: NDArray[np.float64]  #: K, in order along the line
    p: NDArray[np.float64]  #: MPa
    type: NDArray[np.str_]  #: the 8-character label of each point ("**CRIT**", " MAX. T ", ...)
    kind: Tuple[str, ...]  #: the type of each point by name ("critical", "max_temperature", ...)
    x: NDArray[np.float64]  #: (points, 21), liquid-like phase
    y: NDArray[np.float64]  #: (points, 21), vapour-like phase
    values: Mapping[str, float]  #: characteristic values, as the C function phase reports them
    value_status: Mapping[str, int]
    status: int  #: 0 success, otherwise the code that replaced the envelope
    outcome: str  #: how the trace ended
    water_dew: WaterDewLine  #: also where the trace failed (status 207)

    def _point(self, kind: str) -> Tuple[float, float]:
        for i, k in enumerate(self.kind):
            if k == kind:
                return float(self.T[i]), float(self.p[i])
        return math.nan, math.nan

    @property
    def cricondentherm(self) -> Tuple[float, float]:
        """(T, p) of the highest temperature; NaN when the line has none."""
        return self._point("max_temperature")

    @property
    def cricondenbar(self) -> Tuple[float, float]:
        """(T, p) of the highest pressure; NaN when the line has none."""
        return self._point("max_pressure")

    @property
    def critical(self) -> Tuple[float, float]:
        """(T, p) of the critical point; NaN when the line has none."""
        return self._point("critical")

    def plot(self, ax: Optional["Axes"] = None, **line_style: Any) -> "Axes":
        """Draws the line with its critical point, cricondentherm and cricondenbar,
        and the water dew line where there is one."""
        from ._plot import plot_envelope

        return plot_envelope(self, ax, **line_style)


@dataclass(frozen=True)
class Saturation:
    """Saturation points found directly, without a trace (``Gas.saturation``)."""

    T: NDArray[np.float64]  #: K
    p: NDArray[np.float64]  #: MPa
    branch: Tuple[str, ...]  #: "upper" (two phases just below), "lower", "water", or "" (cricondentherm, cricondenbar)
    incipient: NDArray[np.float64]  #: (points, 21), mole fractions of the phase that appears
    residual: NDArray[np.float64]  #: largest residual of the saturation equations at each point
    status: str  #: "converged", or why not ("no_point", "not_converged", "metastable", ...)


class Gas:
    """A composition prepared once for any number of calculations.

    ``Gas({"CH4": 90, "C2H6": 10})`` takes mole percentages that sum to 100
    within 1e-4, keyed by component id or English name (case-insensitive);
    ``Gas.from_fractions`` takes mole fractions that sum to 1 within 1e-6.
    """

    def __init__(self, percent: Mapping[str, float]) -> None:
        values = _parse_composition(percent, "mole percent")
        total = sum(float(v) for v in values.values())
        if not abs(total - 100.0) <= PERCENT_SUM_TOLERANCE:
            raise ValueError(f"mole percentages sum to {total!r}, not 100")
        self._percent = np.zeros(_core.COMPONENT_COUNT)
        for i, v in values.items():
            self._percent[i] = v
        self._init(self._percent / 100.0, self._percent)

    @classmethod
    def from_fractions(cls, fractions: Mapping[str, float]) -> "Gas":
        values = _parse_composition(fractions, "mole fraction")
        total = sum(float(v) for v in values.values())
        if not abs(total - 1.0) <= PERCENT_SUM_TOLERANCE / 100.0:
            raise ValueError(f"mole fractions sum to {total!r}, not 1")
        x = np.zeros(_core.COMPONENT_COUNT)
        for i, v in values.items():
            x[i] = v
        gas = cls.__new__(cls)
        gas._init(x, x * 100.0)
        return gas

    def _init(self, fractions: NDArray[np.float64], percent: NDArray[np.float64]) -> None:
        self._fractions = fractions
        self._percent = percent
        self._external = np.empty(_core.COMPONENT_COUNT)
        self._external[_EXTERNAL_ORDER] = percent
        self._mixture = _core.Mixture(fractions)

    @property
    def fractions(self) -> NDArray[np.float64]:
        """The mole fractions as given, in ``COMPONENTS`` order."""
        return self._fractions.copy()

    @property
    def percent(self) -> NDArray[np.float64]:
        """Mole percent in ``COMPONENTS`` order: what properties, flash and envelope receive."""
        return self._percent.copy()

    @property
    def molar_mass(self) -> float:
        """kg/mol"""
        return self._mixture.molar_mass

    def __repr__(self) -> str:
        parts = ", ".join(
            f"{COMPONENTS[i]!r}: {v:g}" for i, v in enumerate(self._percent) if v > 0
        )
        return f"Gas({{{parts}}})"

    def state(
        self,
        T: ArrayLike,
        p: ArrayLike,
        root: Literal["stable", "liquid", "vapour"] = "stable",
        *,
        workers: Optional[int] = None,
        errors: Literal["nan", "raise"] = "nan",
    ) -> States:
        """Single-phase states at every (T, p) of the broadcast arrays, molar basis.

        ``root`` chooses the density root where there are several: the one with
        the lower Gibbs energy, the liquid-like or the vapour-like one.
        """
        code, n_workers, raise_ = _choice(root, _ROOTS, "root"), _workers(workers), _errors(errors)
        T_a, p_a = _points(T, p)
        n = T_a.size
        rows = np.empty((_core.STATE_ROWS, n))
        side = np.empty(n, dtype=np.int8)
        status: NDArray[np.int8] = np.empty(n, dtype=np.int8)
        _core.states(self._mixture, T_a.ravel(), p_a.ravel(), code, n_workers, rows, side, status)
        shape = T_a.shape
        status = status.reshape(shape)
        if raise_:
            where = _first_failure(status != 0)
            if where is not None:
                _, message = _core.state_message(self._mixture, T_a[where], p_a[where], code)
                raise CalculationError(f"{message} (T = {float(T_a[where])!r} K, p = {float(p_a[where])!r} MPa)")
        values = {name: row.reshape(shape) for name, row in zip(PROPERTY_NAMES, rows)}
        return States(T=T_a, p=p_a, **values, phase=side.reshape(shape), status=status)

    def properties(
        self,
        T: ArrayLike,
        p: ArrayLike,
        phase: Literal["overall", "liquid", "vapour"] = "overall",
        *,
        range_set: int = 0,
        workers: Optional[int] = None,
        errors: Literal["nan", "raise"] = "nan",
    ) -> Properties:
        """The eleven properties of the C function gerg2008 (mass basis) with its status codes.

        ``phase``: the whole, or its liquid-like or vapour-like phase.
        ``range_set`` 0, 1 or 2 selects the input check's limits.
        """
        selector, n_workers, raise_ = (
            _choice(phase, _PHASE_SELECTORS, "phase"),
            _workers(workers),
            _errors(errors),
        )
        T_a, p_a = _points(T, p)
        n = T_a.size
        rows = np.empty((len(EXPORT_NAMES), n))
        status: NDArray[np.int16] = np.empty((n, len(EXPORT_NAMES)), dtype=np.int16)
        _core.export_properties(
            self._mixture, self._external, T_a.ravel(), p_a.ravel(), selector, int(range_set),
            n_workers, rows, status,
        )
        status = status.reshape(T_a.shape + (len(EXPORT_NAMES),))
        if raise_:
            _raise_export_status(status, T_a, p_a)
        values = {name: row.reshape(T_a.shape) for name, row in zip(EXPORT_NAMES, rows)}
        return Properties(**values, T=T_a, p=p_a, status=status)

    def equilibrium(
        self,
        T: ArrayLike,
        p: ArrayLike,
        *,
        workers: Optional[int] = None,
        errors: Literal["nan", "raise"] = "nan",
    ) -> Equilibria:
        """The phase equilibrium at every (T, p): one phase, or the split into two."""
        n_workers, raise_ = _workers(workers), _errors(errors)
        T_a, p_a = _points(T, p)
        n, shape = T_a.size, T_a.shape
        rows = np.empty((_core.EQUILIBRIUM_ROWS, n))
        x = np.empty((n, _core.COMPONENT_COUNT))
        y = np.empty((n, _core.COMPONENT_COUNT))
        phases = np.empty(n, dtype=np.int8)
        status: NDArray[np.int8] = np.empty(n, dtype=np.int8)
        _core.equilibria(self._mixture, T_a.ravel(), p_a.ravel(), n_workers, rows, x, y, phases, status)
        status = status.reshape(shape)
        if raise_:
            where = _first_failure(status != 0)
            if where is not None:
                _, message = _core.equilibrium_message(self._mixture, T_a[where], p_a[where])
                raise CalculationError(f"{message} (T = {float(T_a[where])!r} K, p = {float(p_a[where])!r} MPa)")
        k = len(PROPERTY_NAMES)
        return Equilibria(
            T=T_a,
            p=p_a,
            phases=phases.reshape(shape),
            beta=rows[0].reshape(shape),
            x=x.reshape(shape + (-1,)),
            y=y.reshape(shape + (-1,)),
            liquid=PhaseValues._from_rows(rows[1 : 1 + k], shape),
            vapour=PhaseValues._from_rows(rows[1 + k : 1 + 2 * k], shape),
            overall=PhaseValues._from_rows(rows[1 + 2 * k : 1 + 3 * k], shape),
            liquid_molar_mass=rows[-2].reshape(shape),
            vapour_molar_mass=rows[-1].reshape(shape),
            status=status,
        )

    def flash(
        self,
        T: ArrayLike,
        p: ArrayLike,
        *,
        range_set: int = 0,
        workers: Optional[int] = None,
        errors: Literal["nan", "raise"] = "nan",
    ) -> Flash:
        """The flash of the C function flash_tp: vapour fraction, liquid content, phases."""
        n_workers, raise_ = _workers(workers), _errors(errors)
        T_a, p_a = _points(T, p)
        n, shape = T_a.size, T_a.shape
        rows = np.empty((3, n))
        x = np.empty((n, _core.COMPONENT_COUNT))
        y = np.empty((n, _core.COMPONENT_COUNT))
        status: NDArray[np.int16] = np.empty((n, 1), dtype=np.int16)
        _core.flash(
            self._mixture, self._external, T_a.ravel(), p_a.ravel(), int(range_set), n_workers,
            rows, x, y, status,
        )
        status = status.reshape(shape)
        if raise_:
            _raise_export_status(status, T_a, p_a)
        return Flash(
            T=T_a,
            p=p_a,
            beta=rows[0].reshape(shape),
            liquid_fraction=rows[1].reshape(shape),
            liquid_content=rows[2].reshape(shape),
            x=x.reshape(shape + (-1,)),
            y=y.reshape(shape + (-1,)),
            status=status,
        )

    def saturation(
        self,
        *,
        p: Optional[float] = None,
        T: Optional[float] = None,
        point: Optional[Literal["cricondentherm", "cricondenbar"]] = None,
        beta: float = 1.0,
        water: bool = False,
        errors: Literal["nan", "raise"] = "nan",
    ) -> Saturation:
        """Saturation points without tracing the envelope first.

        Exactly one of ``p`` (its saturation temperatures, both branches where
        both exist), ``T`` (its saturation pressures) or ``point`` (the
        ``"cricondentherm"`` or ``"cricondenbar"``), on the line of vapour
        fraction ``beta``; ``water=True`` gives the water dew point at ``p``
        or ``T`` instead.
        """
        raise_ = _errors(errors)
        kinds = _WATER_KINDS if water else _SATURATION_KINDS
        asked = [(name, v) for name, v in (("p", p), ("T", T), (point, point)) if v is not None]
        if len(asked) != 1 or asked[0][0] not in kinds:
            raise ValueError("give exactly one of p, T or point ('cricondentherm' or 'cricondenbar'; not with water)")
        name, value = asked[0]
        number = float(value) if name in ("p", "T") else 0.0
        r = _core.saturation(self._mixture, kinds[name], number, float(beta))
        status = _SATURATION_STATUS[r["status"]]
        if raise_ and status != "converged":
            raise CalculationError(f"saturation: {status.replace('_', ' ')}")
        count = len(r["T"])
        return Saturation(
            T=np.array(r["T"], dtype=np.float64),
            p=np.array(r["p"], dtype=np.float64),
            branch=tuple(_BRANCHES[b] for b in r["branch"]),
            incipient=np.array(r["incipient"], dtype=np.float64).reshape(count, _core.COMPONENT_COUNT),
            residual=np.array(r["residual"], dtype=np.float64),
            status=status,
        )

    def envelope(
        self,
        beta: float = 1.0,
        *,
        p_min: float = 0.1,
        p_max: float = 30.0,
        T_min: float = 50.0,
        initial_step: float = 0.1,
        T: Optional[float] = None,
        p: Optional[float] = None,
        range_set: int = 0,
        max_step: Optional[float] = None,
        errors: Literal["nan", "raise"] = "nan",
    ) -> Envelope:
        """The line of vapour fraction ``beta`` (1 dew line, 0 bubble line) in the T-p plane.

        With ``T`` and ``p`` given, their crossings are labelled points and the
        saturation values at them are among ``values``. A gas that holds water
        also gets its water dew line over ``p_min`` to ``p_max`` (``water_dew``).
        """
        raise_ = _errors(errors)
        o = _core.EnvelopeOptions()
        o.beta, o.p_min, o.p_max, o.T_min = float(beta), float(p_min), float(p_max), float(T_min)
        o.initial_step, o.range_set = float(initial_step), int(range_set)
        o.T = None if T is None else float(T)
        o.p = None if p is None else float(p)
        if max_step is not None:
            o.max_step = float(max_step)
        r = _core.envelope(self._external, o)
        if raise_ and r["code"] != 0:
            raise CalculationError(f"envelope: {status_meaning(r['code'])} (status {r['code']})")
        kind = tuple(_POINT_KINDS[t] for t in r["type"])
        count = len(kind)
        return Envelope(
            beta=float(beta),
            T=np.array(r["T"], dtype=np.float64),
            p=np.array(r["p"], dtype=np.float64),
            type=np.array([_core.point_label(t) for t in r["type"]], dtype="<U8"),
            kind=kind,
            x=np.array(r["x"], dtype=np.float64).reshape(count, _core.COMPONENT_COUNT),
            y=np.array(r["y"], dtype=np.float64).reshape(count, _core.COMPONENT_COUNT),
            values=dict(zip(_core.CHARACTERISTIC_NAMES, r["value"])),
            value_status=dict(zip(_core.CHARACTERISTIC_NAMES, r["status"])),
            status=int(r["code"]),
            outcome=_OUTCOMES[r["outcome"]],
            water_dew=WaterDewLine(
                T=np.array(r["water_T"], dtype=np.float64),
                p=np.array(r["water_p"], dtype=np.float64),
                incipient=np.array(r["water_incipient"], dtype=np.float64).reshape(-1, _core.COMPONENT_COUNT),
            ),
        )


def _parse_composition(amounts: Mapping[str, float], unit: str) -> dict:
    if not isinstance(amounts, Mapping) or not amounts:
        raise ValueError(f"expected a non-empty mapping of component to {unit}")
    values: dict = {}
    for key, value in amounts.items():
        index = _core.find_component(str(key))
        if index is None:
            raise ValueError(f"unknown component {key!r}")
        if index in values:
            raise ValueError(f"component {COMPONENTS[index]} is given more than once")
        try:
            number = float(value)
        except (TypeError, ValueError):
            number = math.nan
        if not math.isfinite(number) or number < 0:
            raise ValueError(
                f"{unit} of {COMPONENTS[index]} must be a finite number >= 0, got {value!r}"
            )
        values[index] = number
    return values


def _raise_export_status(status: NDArray[np.int16], T: NDArray[np.float64], p: NDArray[np.float64]) -> None:
    failed: NDArray[np.bool_] = np.asarray(status > 0)
    if failed.ndim > T.ndim:
        failed = np.asarray(failed.any(axis=-1))
    where = _first_failure(failed)
    if where is not None:
        codes = status[where]
        code = int(np.max(codes))
        raise CalculationError(
            f"{status_meaning(code)} (status {code}; T = {float(T[where])!r} K, p = {float(p[where])!r} MPa)"
        )
