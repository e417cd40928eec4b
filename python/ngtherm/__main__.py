"""python -m ngtherm batch IN -o OUT: one calculation per row of a CSV or Parquet file.

Installed as the command ngtherm-batch (the C++ program is ngtherm).
"""

from __future__ import annotations

import argparse
import sys
from typing import List, Optional

DESCRIPTION = (
    "Computes every row of a CSV or Parquet file (by extension): columns T_K, p_MPa and the "
    "composition in mol-%, one column per component id (CH4, N2, ...; absent columns are 0). "
    "The output has every input column, the results, status (0 computed in full, 1 failed in "
    "part or in full, 2 bad input) and message."
)


def _parser(prog: str) -> argparse.ArgumentParser:
    from .batch import DEFAULT_CHUNK_ROWS, WHATS

    parser = argparse.ArgumentParser(prog=prog, description=DESCRIPTION)
    parser.add_argument("input", metavar="IN", help="input file, .csv or .parquet")
    parser.add_argument("-o", "--output", metavar="OUT", required=True,
                        help="output file, .csv or .parquet")
    parser.add_argument("--what", choices=WHATS, default="properties",
                        help="the calculation (default: properties, the eleven of gerg2008)")
    parser.add_argument("-j", "--jobs", type=int, default=None, metavar="N",
                        help="worker processes (default: one per core)")
    parser.add_argument("--chunk-rows", type=int, default=DEFAULT_CHUNK_ROWS, metavar="ROWS",
                        help=f"rows read and computed at a time (default: {DEFAULT_CHUNK_ROWS})")
    return parser


def batch_main(argv: Optional[List[str]] = None, prog: str = "ngtherm-batch") -> int:
    from .batch import BatchError, run

    args = _parser(prog).parse_args(argv)
    if args.jobs is not None and args.jobs < 1 or args.chunk_rows < 1:
        print(f"{prog}: error: --jobs and --chunk-rows must be at least 1", file=sys.stderr)
        return 2
    try:
        summary = run(args.input, args.output, args.what, jobs=args.jobs, chunk_rows=args.chunk_rows)
    except BatchError as e:
        print(f"{prog}: error: {e}", file=sys.stderr)
        return 2
    print(f"{prog}: {summary} -> {args.output}", file=sys.stderr)
    return 0


def main(argv: Optional[List[str]] = None) -> int:
    argv = sys.argv[1:] if argv is None else argv
    if not argv or argv[0] != "batch":
        print("usage: python -m ngtherm batch IN -o OUT [--what ...] [--jobs N]\n"
              "       python -m ngtherm batch --help", file=sys.stderr)
        return 2
    return batch_main(argv[1:], prog="python -m ngtherm batch")


if __name__ == "__main__":
    sys.exit(main())
