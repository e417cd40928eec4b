#!/usr/bin/env python3
"""Writes the seed corpus of the exports fuzzer (tests/fuzz/corpus/) and its
dictionary (tests/fuzz/exports.dict) from the readable descriptions below, in
the input layout that tests/fuzz/exports_fuzzer.cpp reads:

  function, flags, phase selector (int16), range set (int16),
  composition block, edit count and edits, T, p,
  and for `phase`: p_min, p_max, T_min, initial step, vapour fraction.

Usage: tools/make_fuzz_corpus.py [--check]
"""
import struct
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
CORPUS = ROOT / "tests" / "fuzz" / "corpus"
DICTIONARY = ROOT / "tests" / "fuzz" / "exports.dict"

FUNCTIONS = ["gerg2008", "gerg2008_z", "gerg2008_k", "gerg2008_rho", "gerg2008_u", "gerg2008_h",
             "gerg2008_s", "gerg2008_cv", "gerg2008_cp", "gerg2008_sos", "gerg2008_kappa",
             "gerg2008_jtc", "flash_tp", "phase"]
COMPONENTS = ["CH4", "N2", "CO2", "C2H6", "C3H8", "nC4", "iC4", "nC5", "iC5", "nC6", "nC7",
              "nC8", "nC9", "nC10", "He", "Ar", "H2", "O2", "CO", "H2O", "H2S"]
# The fuzzer's table of gases, by index.
GASES = {"readme": 0, "pipeline": 1, "rich": 2, "methane-propane": 3, "methane": 4, "published": 5}
# The fuzzer's table of special values, by index.
SPECIALS = {"nan": 0, "-nan": 1, "inf": 2, "-inf": 3, "0": 4, "-0": 5, "denorm_min": 6,
            "-denorm_min": 7, "dbl_min": 8, "max_denormal": 9, "dbl_max": 10, "-dbl_max": 11}


def number(v, ulps=0):
    """A float that a float32 holds exactly, a special value by name, or a
    double (moved by ulps)."""
    if isinstance(v, str):
        return struct.pack("<BBb", 1, SPECIALS[v], ulps)
    if ulps == 0 and struct.unpack("<f", struct.pack("<f", v))[0] == v:
        return struct.pack("<Bf", 0, v)
    return struct.pack("<Bdb", 3, v, ulps)


def composition(gas=None, percent=None, edits=()):
    """A table gas by name or 21 explicit percentages, then edits:
    (component, value) replaces, (component, "ulps", n) moves by n ulps."""
    if gas is not None:
        out = struct.pack("<BB", 0, GASES[gas])
    else:
        values = [0.0] * 21
        for name, v in percent.items():
            values[COMPONENTS.index(name)] = v
        out = struct.pack("<B", 2) + b"".join(number(v) for v in values)
    out += struct.pack("<B", len(edits))
    for edit in edits:
        i = COMPONENTS.index(edit[0])
        if len(edit) == 3:
            out += struct.pack("<BBb", i, 1, edit[2])
        else:
            out += struct.pack("<BB", i, 0) + number(*edit[1:])
    return out


def call(function, comp, T, p, selector=0, range_set=0, repeat=False, null=None, envelope=None):
    flags = 1 if repeat else 0
    if null is not None:
        flags |= 0x0E | (null << 4)
    out = struct.pack("<BBhh", FUNCTIONS.index(function), flags, selector, range_set) + comp
    out += (T if isinstance(T, bytes) else number(T)) + (p if isinstance(p, bytes) else number(p))
    if function == "phase":
        p_min, p_max, T_min, step, beta = envelope or (0.1, 30.0, 50.0, 0.1, 1.0)
        out += b"".join(number(v) for v in (p_min, p_max, T_min, step, beta))
    return out


README_GAS = composition("readme")
PIPELINE = composition("pipeline")
RICH = composition("rich")
TWO_PHASE = composition("methane-propane")


def float32(v, steps=0):
    """v rounded to single precision, moved by steps single-precision ulps."""
    bits = struct.unpack("<I", struct.pack("<f", v))[0] + steps
    return struct.unpack("<f", struct.pack("<I", bits))[0]


def seeds():
    s = {}
    for f in FUNCTIONS[:12]:
        s[f"readme-gas-300K-5MPa-{f}"] = call(f, README_GAS, 300.0, 5.0, range_set=1)
    s["pipeline-gas-300K-5MPa-all"] = call("gerg2008", PIPELINE, 300.0, 5.0, repeat=True)
    s["published-gas-400K-50MPa-all-set2"] = call("gerg2008", composition("published"), 400.0, 50.0,
                                                    range_set=2)
    s["methane-150K-0.5MPa-rho"] = call("gerg2008_rho", composition("methane"), 150.0, 0.5)
    # Range-set boundaries; the composition limits are single-precision numbers.
    s["set1-250K"] = call("gerg2008", README_GAS, 250.0, 5.0, range_set=1)
    s["set1-below-250K"] = call("gerg2008", README_GAS, number(250.0, -1), 5.0, range_set=1)
    s["set1-450K"] = call("gerg2008_h", README_GAS, 450.0, 5.0, range_set=1)
    s["set1-above-450K"] = call("gerg2008_h", README_GAS, number(450.0, 1), 5.0, range_set=1)
    s["set1-30MPa"] = call("gerg2008_z", README_GAS, 300.0, 30.0, range_set=1)
    s["set1-above-30MPa"] = call("gerg2008_z", README_GAS, 300.0, number(30.0, 1), range_set=1)
    s["set2-70MPa"] = call("gerg2008_sos", README_GAS, 300.0, 70.0, range_set=2)
    s["set2-above-70MPa"] = call("gerg2008_sos", README_GAS, 300.0, number(70.0, 1), range_set=2)
    s["set-above-2"] = call("gerg2008_cp", README_GAS, 300.0, 5.0, range_set=7)
    s["set-negative"] = call("gerg2008_cp", README_GAS, 300.0, 5.0, range_set=-3)
    helium = {"CH4": 89.8, "C2H6": 5, "N2": 3, "CO2": 2, "He": 0.2}
    s["helium-0.2-passes"] = call("gerg2008", composition(percent=helium), 300.0, 5.0, range_set=1)
    s["helium-above-0.2"] = call("gerg2008", composition(percent=helium, edits=[("He", float32(0.2, 1))]),
                                 300.0, 5.0, range_set=1)
    water = {"CH4": 89.98, "C2H6": 5, "N2": 3, "CO2": 2, "H2O": 0.02}
    s["water-0.02-fails"] = call("gerg2008", composition(percent=water), 300.0, 5.0, range_set=1)
    s["water-below-0.02"] = call("gerg2008", composition(percent=water, edits=[("H2O", float32(0.02, -1))]),
                                 300.0, 5.0, range_set=2)
    # General limits: the sum tolerance to the ulp, T and p at their limits.
    rest = 5.0 + 3.0 + 2.0
    s["sum-near-tolerance"] = call("gerg2008_z", composition("readme", edits=[("CH4", 90.0001)]), 300.0, 5.0)
    s["sum-near-tolerance-ulp-up"] = call("gerg2008_z", composition("readme", edits=[("CH4", 100.0001 - rest, 1)]),
                                 300.0, 5.0)
    s["sum-near-tolerance-ulp-down"] = call("gerg2008_z", composition("readme", edits=[("CH4", 100.0001 - rest, -1)]),
                                  300.0, 5.0)
    s["T-60K"] = call("gerg2008_z", README_GAS, 60.0, 5.0)
    s["T-2000K-1000MPa"] = call("gerg2008_z", README_GAS, 2000.0, 1000.0)
    s["p-zero"] = call("gerg2008_z", README_GAS, 300.0, 0.0)
    # Non-finite and odd numbers.
    s["T-nan"] = call("gerg2008", README_GAS, "nan", 5.0)
    s["p-inf"] = call("gerg2008_k", README_GAS, 300.0, "inf")
    s["p-denormal"] = call("gerg2008_rho", README_GAS, 300.0, "denorm_min")
    s["fraction-nan"] = call("flash_tp", composition("readme", edits=[("N2", "nan")]), 300.0, 5.0)
    s["fraction-negative-zero"] = call("gerg2008", composition("readme", edits=[("He", "-0")]), 300.0, 5.0)
    s["fraction-negative"] = call("gerg2008", composition("readme", edits=[("He", -1e-300)]), 300.0, 5.0)
    s["selector-5"] = call("gerg2008", README_GAS, 300.0, 5.0, selector=5)
    s["null-echo"] = call("gerg2008", README_GAS, 300.0, 5.0, null=6)
    s["null-status-flash"] = call("flash_tp", README_GAS, 300.0, 5.0, null=8)
    # Two phases: the whole and each phase.
    for selector in (0, 1, 2):
        s[f"two-phase-230K-5MPa-selector{selector}"] = call("gerg2008", TWO_PHASE, 230.0, 5.0,
                                                             selector=selector, repeat=True)
    s["two-phase-sos-overall"] = call("gerg2008_sos", TWO_PHASE, 230.0, 5.0)
    s["flash-two-phase"] = call("flash_tp", TWO_PHASE, 230.0, 5.0, repeat=True)
    s["flash-rich-240K-4MPa"] = call("flash_tp", RICH, 240.0, 4.0)
    s["flash-pipeline-one-phase"] = call("flash_tp", PIPELINE, 300.0, 5.0)
    s["flash-pure-methane"] = call("flash_tp", composition("methane"), 150.0, 0.5)
    # Envelopes.
    s["phase-pipeline-dew"] = call("phase", PIPELINE, 250.0, 5.0)
    s["phase-rich-bubble"] = call("phase", RICH, 250.0, 5.0, envelope=(0.1, 30.0, 50.0, 0.1, 0.0))
    s["phase-two-phase-half"] = call("phase", TWO_PHASE, 230.0, 5.0, envelope=(0.5, 20.0, 100.0, 0.5, 0.5))
    s["phase-bad-step"] = call("phase", PIPELINE, 250.0, 5.0, envelope=(0.1, 30.0, 50.0, 2.0, 1.0))
    s["phase-bad-p-min"] = call("phase", PIPELINE, 250.0, 5.0, envelope=(3.0, 30.0, 50.0, 0.1, 1.0))
    s["phase-pure-methane"] = call("phase", composition("methane"), 150.0, 0.5)
    s["phase-bad-input"] = call("phase", PIPELINE, "nan", 5.0)
    return s


def dictionary():
    """Float32 encodings (with the tag byte) of the limits of the input check,
    the range sets and the envelope parameters."""
    values = [60.0, 2000.0, 1000.0, 250.0, 450.0, 700.0, 30.0, 70.0, 100.0, 0.0001, 2.5, 50.0,
              550.0, 0.01, 0.2, 0.1, 0.05, 0.02, 0.5, 3.0, 10.0, 20.0, 45.0]
    lines = []
    for v in values:
        data = struct.pack("<Bf", 0, v)
        lines.append('f_{}="{}"'.format(str(v).replace(".", "_"), "".join(f"\\x{b:02x}" for b in data)))
    return "\n".join(lines) + "\n"


def main():
    check = "--check" in sys.argv[1:]
    wanted = {name: data for name, data in seeds().items()}
    wanted_dict = dictionary()
    if check:
        present = {p.name: p.read_bytes() for p in CORPUS.glob("*")}
        same = present == wanted and DICTIONARY.exists() and DICTIONARY.read_text() == wanted_dict
        print("fuzz corpus up to date" if same else "fuzz corpus differs: run tools/make_fuzz_corpus.py")
        return 0 if same else 1
    CORPUS.mkdir(parents=True, exist_ok=True)
    for old in CORPUS.glob("*"):
        old.unlink()
    for name, data in wanted.items():
        (CORPUS / name).write_bytes(data)
    DICTIONARY.write_text(wanted_dict)
    print(f"{len(wanted)} inputs in {CORPUS.relative_to(ROOT)}, dictionary {DICTIONARY.relative_to(ROOT)}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
