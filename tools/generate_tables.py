#!/usr/bin/env python3
"""Generate src/model/gerg_data.hpp from the constant files in data/.

The JSON files are the single source of truth for every number of the model:
data/gerg2008.json (the published GERG-2008 constants) and
data/peng_robinson.json (start-value and Wilson data of the solvers).

    python3 tools/generate_tables.py          # rewrite the header
    python3 tools/generate_tables.py --check  # fail if the committed header is stale
"""
import argparse
import json
import pathlib
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
OUT = ROOT / "src" / "model" / "gerg_data.hpp"
PURE_DIVISOR = 8
DEP_DIVISOR = 20
PURE_EXPONENTIAL_CLASSES = 7  # exp(-delta^c), c = 0 .. 6


def num(x):
    """Shortest decimal that reads back to the same double."""
    r = repr(float(x))
    return r if ("e" in r or "." in r or "inf" in r or "nan" in r) else r + ".0"


def exponent(t, divisor):
    e = round(t * divisor)
    if abs(e - t * divisor) > 1e-9:
        sys.exit(f"tau exponent {t} is not a multiple of 1/{divisor}")
    return e


def build_pure(comps):
    """Pure-fluid equations: delta groups (d, c), term shapes (d, e, group), terms, series."""
    groups, shapes, terms, series = [], [], [], []
    for c in comps:
        r = c["residual"]
        first = len(terms)
        for t in r["terms"]:
            assert t["d"] >= 1 and 0 <= t["c"] < PURE_EXPONENTIAL_CLASSES
            grp = (t["d"], t["c"])
            if grp not in groups:
                groups.append(grp)
            shape = (t["d"], exponent(t["t"], PURE_DIVISOR), groups.index(grp))
            if shape not in shapes:
                shapes.append(shape)
            terms.append((t["n"], t["d"], shape[1], shapes.index(shape)))
        series.append((len(r["terms"]), first, c["id"]))
    return groups, shapes, terms, series


def build_departure(funcs):
    """Departure functions: delta groups (d, eta, epsilon, beta, gamma), shapes, terms, series."""
    groups, shapes, terms, series = [], [], [], []
    for f in funcs:
        first = len(terms)
        for k, t in enumerate(f["terms"]):
            if k < f["K_pol"]:
                assert t["eta"] == 0 and t["beta"] == 0
                grp = (t["d"], 0.0, 0.0, 0.0, 0.0)
            else:
                assert t["epsilon"] == 0.5 and t["gamma"] == 0.5
                grp = (t["d"], t["eta"], t["epsilon"], t["beta"], t["gamma"])
            if grp not in groups:
                groups.append(grp)
            shape = (t["d"], exponent(t["t"], DEP_DIVISOR), groups.index(grp))
            if shape not in shapes:
                shapes.append(shape)
            terms.append((t["n"], t["d"], shape[1], shapes.index(shape)))
        series.append((len(f["terms"]), first, f["id"]))
    return groups, shapes, terms, series


def sort_shapes(shapes, terms):
    """Shapes sorted by delta group (then exponent), so that each group's shapes are
    contiguous; term records point at the sorted positions."""
    order = sorted(range(len(shapes)), key=lambda k: (shapes[k][2], shapes[k][1], shapes[k][0]))
    new_index = {old: new for new, old in enumerate(order)}
    return [shapes[k] for k in order], [(n, d, e, new_index[sh]) for n, d, e, sh in terms]


def group_begins(shapes, group_count):
    return [next((k for k, sh in enumerate(shapes) if sh[2] >= g), len(shapes)) for g in range(group_count + 1)]


def emit_constants(gerg):
    consts = gerg["constants"]
    ref = consts["ideal_reference_state"]
    return [
        f"inline constexpr double kR = {num(consts['R_J_per_mol_K'] / 1000)};  // MPa dm3/(mol K) = kJ/(mol K)",
        f"inline constexpr double kRStar = {num(consts['R_star_J_per_mol_K'] / 1000)};  "
        "// kJ/(mol K), ideal-gas correlations",
        f"inline constexpr double kIdealT0 = {num(ref['T0_K'])};  // K",
        f"inline constexpr double kIdealP0 = {num(ref['p0_kPa'] / 1000)};  // MPa",
        "",
        "// Tau exponents t = e / D with integer e: D = 8 for the pure fluids, 20 for the departure functions.",
        f"inline constexpr double kPureTauDivisor = {num(PURE_DIVISOR)};",
        f"inline constexpr double kDepTauDivisor = {num(DEP_DIVISOR)};",
        "// Exponential classes of the pure-fluid terms: exp(-delta^c), c = 0 (polynomial) to 6.",
        f"inline constexpr int kPureExponentialClasses = {PURE_EXPONENTIAL_CLASSES};",
        "",
    ]


def emit_components(comps):
    out = ["inline constexpr std::array<ComponentData, kComponentCount> kComponents{{"]
    for c in comps:
        out.append(f'    {{"{c["id"]}", "{c["name"]}", {num(c["molar_mass_kg_per_mol"])}, '
                   f'{num(c["Tc_K"])}, {num(c["rhoc_mol_per_dm3"])}}},')
    return out + ["}};", ""]


def emit_ideal_gas(comps):
    # Sinh terms carry n0_4 and n0_6, cosh terms n0_5 and n0_7.
    out = ["inline constexpr std::array<IdealGasRecord, kComponentCount> kIdealGas{{"]
    for c in comps:
        ig = c["ideal"]
        th = ig["theta0_times_Tc_K"]
        sinh = [(ig[f"n0_{k}"], th[f"theta0_{k}"]) for k in (4, 6) if ig[f"n0_{k}"] != 0]
        cosh = [(ig[f"n0_{k}"], th[f"theta0_{k}"]) for k in (5, 7) if ig[f"n0_{k}"] != 0]
        assert all(abs(theta) > 1 for _, theta in sinh + cosh)
        s, ch = (sinh + [(0.0, 0.0)] * 2)[:2], (cosh + [(0.0, 0.0)] * 2)[:2]
        out.append(f"    {{{num(ig['n0_3'])}, {len(sinh)}, {{{num(s[0][0])}, {num(s[1][0])}}}, "
                   f"{{{num(s[0][1])}, {num(s[1][1])}}}, {len(cosh)}, {{{num(ch[0][0])}, {num(ch[1][0])}}}, "
                   f"{{{num(ch[0][1])}, {num(ch[1][1])}}}}},  // {c['id']}")
    return out + ["}};", ""]


def emit_terms(prefix, terms):
    size = f"std::array<int, {len(terms)}>"
    return ([f"inline constexpr std::array<double, {len(terms)}> k{prefix}TermN{{{{"]
            + [f"    {num(t[0])}," for t in terms] + ["}};"]
            + [f"inline constexpr {size} k{prefix}Term{name}{{{{" + ", ".join(str(t[col]) for t in terms) + "}};"
               for col, name in ((1, "D"), (2, "E"), (3, "Shape"))]
            + [""])


def emit_series(name, series):
    return ([f"inline constexpr std::array<TermSeries, {len(series)}> {name}{{{{"]
            + [f"    {{{count}, {first}}},  // {label}" for count, first, label in series] + ["}};", ""])


def emit_pure_groups(groups, shapes):
    begins = group_begins(shapes, len(groups))
    return [
        f"inline constexpr std::array<PureDeltaGroup, {len(groups)}> kPureDeltaGroups{{{{",
        "    " + ", ".join(f"{{{d}, {c}}}" for d, c in groups),
        "}};",
        f"inline constexpr std::array<TermShape, {len(shapes)}> kPureShapes{{{{",
        "    " + ", ".join(f"{{{d}, {e}, {g}}}" for d, e, g in shapes),
        "}};",
        "// Shapes of pure-fluid delta group g: kPureShapes[kPureGroupShapes[g] .. kPureGroupShapes[g + 1]).",
        f"inline constexpr std::array<int, {len(begins)}> kPureGroupShapes{{{{" + ", ".join(map(str, begins)) + "}};",
    ]


def emit_dep_groups(groups, shapes):
    exps = []
    for g in groups:
        if g[1:] not in exps:
            exps.append(g[1:])
    assert exps[0] == (0.0, 0.0, 0.0, 0.0)
    out = [
        "// Exponential factors exp(-eta (delta - epsilon)^2 - beta (delta - gamma)); entry 0 is 1.",
        "// eta is a whole number of eighths and beta of quarters, epsilon = gamma = 0.5, so each",
        "// factor is an integer power product of exp(-(delta - 0.5)^2 / 8) and exp(-(delta - 0.5) / 4).",
        f"inline constexpr std::array<DepExponential, {len(exps)}> kDepExponentials{{{{",
    ]
    for eta, eps, beta, gam in exps:
        k8, k4 = round(eta * 8), round(beta * 4)
        assert k8 == eta * 8 and k4 == beta * 4
        assert (eta, beta) == (0.0, 0.0) or (eps, gam) == (0.5, 0.5)
        out.append(f"    {{{num(eta)}, {num(eps)}, {num(beta)}, {num(gam)}, {k8}, {k4}}},")
    begins = group_begins(shapes, len(groups))
    return out + [
        "}};",
        f"inline constexpr std::array<DepDeltaGroup, {len(groups)}> kDepDeltaGroups{{{{",
        "    " + ", ".join(f"{{{g[0]}, {exps.index(g[1:])}}}" for g in groups),
        "}};",
        f"inline constexpr std::array<TermShape, {len(shapes)}> kDepShapes{{{{",
        "    " + ", ".join(f"{{{d}, {e}, {g}}}" for d, e, g in shapes),
        "}};",
        "// Shapes of departure delta group g: kDepShapes[kDepGroupShapes[g] .. kDepGroupShapes[g + 1]).",
        f"inline constexpr std::array<int, {len(begins)}> kDepGroupShapes{{{{" + ", ".join(map(str, begins)) + "}};",
        "",
    ]


def emit_departure_pairs(gerg):
    fid = [f["id"] for f in gerg["departure_functions"]]
    pairs = gerg["departure_pairs"]
    out = [f"inline constexpr std::array<DeparturePair, {len(pairs)}> kDeparturePairs{{{{"]
    for p in pairs:
        assert p["i"] < p["j"]
        out.append(f"    {{{p['i'] - 1}, {p['j'] - 1}, {num(p['F'])}, {fid.index(p['function'])}}},  // {p['pair']}")
    return out + ["}};", ""]


def emit_binary_reducing(gerg):
    brp = gerg["binary_reducing_parameters"]
    assert len(brp) == 210
    table = {(b["i"], b["j"]): b for b in brp}
    out = ["// Upper triangle (i < j, 0-based model numbers); the rest is never read.",
           "inline constexpr std::array<std::array<BinaryReducing, kComponentCount>, kComponentCount>"
           " kBinaryReducing{{"]
    for i in range(1, 22):
        row = []
        for j in range(1, 22):
            if j > i:
                b = table[(i, j)]
                row.append(f"{{{num(b['beta_v'])}, {num(b['gamma_v'])}, {num(b['beta_T'])}, "
                           f"{num(b['gamma_T'])}}}")
            else:
                row.append("{}")
        out.append("    {{" + ", ".join(row) + "}},")
    return out + ["}};", ""]


def emit_peng_robinson(pr, ids):
    prc = pr["components"]
    assert [c["id"] for c in prc] == ids
    out = ["inline constexpr std::array<PengRobinsonData, kComponentCount> kPengRobinson{{"]
    out += [f"    {{{num(c['Tc_K'])}, {num(c['pc_MPa'])}, {num(c['omega'])}}},  // {c['id']}" for c in prc]
    out.append("}};")
    kij = pr["k_ij"]
    out.append(f"inline constexpr std::array<PengRobinsonPair, {len(kij)}> kPengRobinsonPairs{{{{")
    for k in kij:
        assert k["i"] < k["j"]
        out.append(f"    {{{k['i'] - 1}, {k['j'] - 1}, {num(k['k_ij'])}}},  // {k['pair']}")
    return out + ["}};", ""]


def build(gerg, pr):
    comps = gerg["components"]
    assert [c["index"] for c in comps] == list(range(1, 22))
    pure_groups, pure_shapes, pure_terms, pure_series = build_pure(comps)
    pure_shapes, pure_terms = sort_shapes(pure_shapes, pure_terms)
    dep_groups, dep_shapes, dep_terms, dep_series = build_departure(gerg["departure_functions"])
    dep_shapes, dep_terms = sort_shapes(dep_shapes, dep_terms)
    lines = [
        "// Generated by tools/generate_tables.py from data/gerg2008.json and",
        "// data/peng_robinson.json. Do not edit; run the generator instead.",
        "#pragma once",
        "",
        '#include "model/tables.hpp"',
        "",
        "namespace ngtherm::model {",
        "",
    ]
    lines += emit_constants(gerg)
    lines += emit_components(comps)
    lines += emit_ideal_gas(comps)
    lines += emit_terms("Pure", pure_terms)
    lines += emit_series("kPureSeries", pure_series)
    lines += emit_terms("Dep", dep_terms)
    lines += emit_series("kDepartureSeries", dep_series)
    lines += emit_pure_groups(pure_groups, pure_shapes)
    lines += emit_dep_groups(dep_groups, dep_shapes)
    lines += emit_departure_pairs(gerg)
    lines += emit_binary_reducing(gerg)
    lines += emit_peng_robinson(pr, [c["id"] for c in comps])
    lines.append("}  // namespace ngtherm::model")
    return "\n".join(lines) + "\n"


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--check", action="store_true", help="fail if the header is out of date")
    args = ap.parse_args()
    gerg = json.loads((ROOT / "data" / "gerg2008.json").read_text())
    pr = json.loads((ROOT / "data" / "peng_robinson.json").read_text())
    text = build(gerg, pr)
    if args.check:
        if not OUT.exists() or OUT.read_text() != text:
            print(f"{OUT.relative_to(ROOT)} is out of date: run tools/generate_tables.py", file=sys.stderr)
            return 1
        print(f"{OUT.relative_to(ROOT)} is up to date")
        return 0
    OUT.write_text(text)
    print(f"wrote {OUT.relative_to(ROOT)}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
