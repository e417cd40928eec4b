"""Writes examples/batch_sample.csv, the input of the README's batch example.

    python examples/make_batch_sample.py [output.csv]

300 readings of five meters, each with its own gas, at 275 to 350 K (above the cricondentherms: one phase) and 0.5 to
10 MPa, in time order (the meters interleaved). A few rows are bad on purpose:
BAD_ROWS says which and why. Only the standard library: the file is the same
on every machine.
"""

import csv
import random
import sys

GASES = {
    "M1-sample": {"CH4": 90, "C2H6": 5, "N2": 3, "CO2": 2},
    "M2-rich": {"CH4": 86, "C2H6": 6, "C3H8": 3, "nC4": 1.2, "iC4": 0.8, "nC5": 0.5, "N2": 2.5},
    "M3-pipeline": {"CH4": 90, "N2": 2, "CO2": 1, "C2H6": 4, "C3H8": 1.5, "nC4": 0.4, "iC4": 0.4,
                    "nC5": 0.2, "iC5": 0.2, "nC6": 0.2, "H2": 0.1},
    "M4-hydrogen": {"CH4": 75, "H2": 20, "C2H6": 3, "N2": 2},
    "M5-sour": {"CH4": 80, "CO2": 12, "H2S": 5, "N2": 3},
}
COMPONENTS = ("CH4", "N2", "CO2", "C2H6", "C3H8", "nC4", "iC4", "nC5", "iC5", "nC6", "H2", "H2S")
ROWS = 300
# Row (0-based, after the header) -> (column, text) replacing the generated value.
BAD_ROWS = {
    17: ("T_K", ""),  # missing value
    58: ("p_MPa", "4,5"),  # not a number (a decimal comma)
    101: ("CH4", "89"),  # mole percentages do not sum to 100
    160: ("T_K", "-20"),  # not a temperature
    233: ("T_K", "50"),  # computed, but outside the range of the input check: failed
}


def rows():
    rng = random.Random(17)
    meters = list(GASES)
    for i in range(ROWS):
        meter = meters[i % len(meters)]
        gas = GASES[meter]
        row = {"row": str(i), "meter": meter}
        row.update({c: repr(float(gas.get(c, 0))) for c in COMPONENTS})
        row["T_K"] = f"{rng.uniform(275.0, 350.0):.2f}"
        row["p_MPa"] = f"{rng.uniform(0.5, 10.0):.3f}"
        if i in BAD_ROWS:
            column, text = BAD_ROWS[i]
            row[column] = text
        yield row


def main(path: str) -> None:
    with open(path, "w", newline="", encoding="utf-8") as f:
        writer = csv.DictWriter(f, ["row", "meter", *COMPONENTS, "T_K", "p_MPa"], lineterminator="\n")
        writer.writeheader()
        writer.writerows(rows())


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "examples/batch_sample.csv")
