"""Python package against the C++ API: time per state on one worker, and the
speed-up on two, for single-phase states and equilibria of the 11-component gas.

    python bench/python_bench.py [--states 1000000] [--equilibria 1000000] [--repeats 3]

The C++ figure is a plain loop over the C++ API inside the extension module,
timed in the same run on the same states; the Python figures are whole calls
(broadcasting, allocation, the loop and the result objects). Each figure is the
best of --repeats runs; the runs alternate so that a busy moment of a shared
host spreads over all three.
"""

import argparse
import time

import numpy as np

import ngtherm
from ngtherm import _core

PIPELINE_GAS = {"CH4": 90, "N2": 2, "CO2": 1, "C2H6": 4, "C3H8": 1.5, "nC4": 0.4, "iC4": 0.4,
                "nC5": 0.2, "iC5": 0.2, "nC6": 0.2, "H2": 0.1}


def seconds(call) -> float:
    start = time.perf_counter()
    call()
    return time.perf_counter() - start


def measure(gas, count: int, repeats: int, equilibrium: bool) -> None:
    # One phase at 5 MPa; the temperature moves between states, so no cached result is reused.
    T = np.linspace(295.0, 305.0, count)
    p = np.full(count, 5.0)
    python_call = gas.equilibrium if equilibrium else gas.state
    cxx, one, two = [], [], []
    for _ in range(repeats):
        cxx.append(_core.time_cxx_loop(gas._mixture, T, p, equilibrium))
        one.append(seconds(lambda: python_call(T, p, workers=1)))
        two.append(seconds(lambda: python_call(T, p, workers=2)))
    c, o, t = min(cxx) / count * 1e6, min(one) / count * 1e6, min(two) / count * 1e6
    name = "equilibrium" if equilibrium else "single-phase state"
    print(f"{name}, {count} states, best of {repeats}:")
    print(f"  C++ loop              {c:8.3f} us/state")
    print(f"  Python, 1 worker      {o:8.3f} us/state  ({o / c:.2f}x the C++ loop)")
    print(f"  Python, 2 workers     {t:8.3f} us/state  (speed-up {o / t:.2f}x over 1 worker)")


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--states", type=int, default=1_000_000)
    parser.add_argument("--equilibria", type=int, default=1_000_000)
    parser.add_argument("--repeats", type=int, default=3)
    args = parser.parse_args()
    gas = ngtherm.Gas(PIPELINE_GAS)
    gas.state(300.0, 5.0)  # loads and warms the module
    measure(gas, args.states, args.repeats, equilibrium=False)
    if args.equilibria > 0:
        measure(gas, args.equilibria, max(1, args.repeats // 3), equilibrium=True)


if __name__ == "__main__":
    main()
