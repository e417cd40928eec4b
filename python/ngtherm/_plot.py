"""The phase envelope drawn with matplotlib."""

from __future__ import annotations

import math
from typing import TYPE_CHECKING, Any, Dict, List, Optional, Tuple

if TYPE_CHECKING:
    from matplotlib.axes import Axes

    from ._gas import Envelope


def _parts(env: "Envelope") -> List[Tuple[slice, str]]:
    """The line split at the critical point, where the incipient phase changes
    from liquid to vapour (or back), each part with its name."""
    if env.beta not in (0.0, 1.0):
        return [(slice(None), f"vapour fraction {env.beta:g}")]
    first, second = ("dew line", "bubble line") if env.beta == 1.0 else ("bubble line", "dew line")
    if "critical" not in env.kind:
        return [(slice(None), first)]
    c = env.kind.index("critical")
    return [(slice(0, c + 1), first), (slice(c, None), second)]


def plot_envelope(env: "Envelope", ax: Optional["Axes"] = None, **line_style: Any) -> "Axes":
    """The line in the T-p plane with its critical point, cricondentherm and cricondenbar
    marked and labelled with their values, and the water dew line dashed where the
    gas has one; returns the axes."""
    import matplotlib.pyplot as plt

    if ax is None:
        _, ax = plt.subplots(figsize=(7.0, 4.8), layout="constrained")
    ax.fill(env.T, env.p, color="C0", alpha=0.07, label="two phases")
    for (part, name), color in zip(_parts(env), ("C0", "C9")):
        style: Dict[str, Any] = {"color": color, "linewidth": 1.8, "label": name}
        style.update(line_style)
        ax.plot(env.T[part], env.p[part], **style)
    if len(env.water_dew.T):
        ax.plot(env.water_dew.T, env.water_dew.p, color="C4", linestyle="--", linewidth=1.5, label="water dew line")
    marks: Tuple[Tuple[str, Tuple[float, float], Dict[str, Any]], ...] = (
        ("critical point", env.critical, dict(marker="o", color="C3")),
        ("cricondentherm", env.cricondentherm, dict(marker="s", color="C2")),
        ("cricondenbar", env.cricondenbar, dict(marker="^", color="C1")),
    )
    for name, (T, p), mark in marks:
        if math.isnan(T):
            continue
        ax.plot([T], [p], linestyle="none", markersize=7, label=f"{name}: {T:.2f} K, {p:.3f} MPa", **mark)
    ax.set_xlabel("temperature T / K")
    ax.set_ylabel("pressure p / MPa")
    ax.set_ylim(bottom=0.0)
    ax.grid(True, alpha=0.3)
    ax.legend(loc="upper left", fontsize="small")
    return ax
