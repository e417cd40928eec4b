"""Draws the dew line of an 11-component pipeline gas: docs/envelope.png in the README.

    python examples/plot_envelope.py [output.png]
"""

import sys

import matplotlib

matplotlib.use("Agg")

import ngtherm  # noqa: E402

PIPELINE_GAS = {"CH4": 90, "N2": 2, "CO2": 1, "C2H6": 4, "C3H8": 1.5, "nC4": 0.4, "iC4": 0.4,
                "nC5": 0.2, "iC5": 0.2, "nC6": 0.2, "H2": 0.1}


def main(path: str) -> None:
    gas = ngtherm.Gas(PIPELINE_GAS)
    dew = gas.envelope(beta=1.0, errors="raise")
    ax = dew.plot()
    ax.set_title("Phase envelope of an 11-component pipeline gas (GERG-2008)")
    ax.figure.savefig(path, dpi=110)
    print(f"{path}: {len(dew.T)} points, cricondentherm {dew.cricondentherm[0]:.2f} K, "
          f"cricondenbar {dew.cricondenbar[1]:.3f} MPa, critical point {dew.critical}")


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "docs/envelope.png")
