"""The phase envelope drawn with matplotlib."""

from __future__ import annotations

import math
from typing import TYPE_CHECKING, Any, Optional

if TYPE_CHECKING:
    from matplotlib.axes import Axes

    from ._gas import Envelope


def _line_name(beta: float) -> str:
    if beta == 1.0:
        return "dew line"
    if beta == 0.0:
        return "bubble line"
    return f"vapour fraction {beta:g}"


def plot_envelope(env: "Envelope", ax: Optional["Axes"] = None, **line_style: Any) -> "Axes":
    """The line in the T-p plane with its critical point, cricondentherm and cricondenbar
    marked and labelled with their values; returns the axes."""
    import matplotlib.pyplot as plt

    if ax is None:
        _, ax = plt.subplots(figsize=(7.0, 4.8), layout="constrained")
    style = {"color": "C0", "linewidth": 1.8, "label": _line_name(env.beta)}
    style.update(line_style)
    ax.plot(env.T, env.p, **style)
    marks = (
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
