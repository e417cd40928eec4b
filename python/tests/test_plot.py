import matplotlib
import numpy as np

matplotlib.use("Agg")

import ngtherm  # noqa: E402

PIPELINE_GAS = {"CH4": 90, "N2": 2, "CO2": 1, "C2H6": 4, "C3H8": 1.5, "nC4": 0.4, "iC4": 0.4,
                "nC5": 0.2, "iC5": 0.2, "nC6": 0.2, "H2": 0.1}


def test_the_envelope_plot_draws_the_traced_line_and_marks_its_special_points():
    env = ngtherm.Gas(PIPELINE_GAS).envelope(beta=1.0, T=250.0, p=5.0)
    assert env.status == 0
    assert env.cricondentherm[0] == env.values["cricondentherm_T"] == env.T.max()
    assert env.cricondenbar[1] == env.values["cricondenbar_p"] == env.p.max()
    assert env.critical == (env.values["critical_T"], env.values["critical_p"])
    assert list(env.type).count(" P TAB. ") == 2 and "**CRIT**" in env.type

    ax = env.plot()
    lines = {line.get_label(): line for line in ax.get_lines()}
    dew, bubble = lines["dew line"], lines["bubble line"]
    # The two parts meet at the critical point and together are every traced point.
    traced = np.concatenate([dew.get_xdata(), bubble.get_xdata()[1:]])
    assert np.array_equal(traced, env.T)
    assert (dew.get_xdata()[-1], dew.get_ydata()[-1]) == env.critical
    for name, point in (("critical point", env.critical), ("cricondentherm", env.cricondentherm),
                        ("cricondenbar", env.cricondenbar)):
        (mark,) = [line for label, line in lines.items() if label.startswith(name)]
        assert (mark.get_xdata()[0], mark.get_ydata()[0]) == point
        assert f"{point[0]:.2f} K" in mark.get_label()
    assert "K" in ax.get_xlabel() and "MPa" in ax.get_ylabel()
    assert len(ax.get_legend().get_texts()) == 6
