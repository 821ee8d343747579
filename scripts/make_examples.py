#!/usr/bin/env python3
"""Writes the example data files of examples/ (Windows-1251, CR LF, '.' as decimal mark).

    python3 scripts/make_examples.py [path/to/yellowfin_epo_1934_1955.tsv]

1. examples/yellowfin_epo_1934_1955.txt: the yellowfin tuna series of Schaefer (1957),
   effort in thousands of standard days, catch in thousands of pounds,
   U = catch / effort.
2. examples/schaefer_simulated_1990_2019.txt: a series simulated from a Schaefer model
   with known parameters (see examples/README.md). Uses only the standard library and a
   fixed seed, so every run writes the same bytes.
"""
import math
import os
import random
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def fmt(x):
    """The program's general number format: up to 15 significant digits."""
    text = "%.15g" % x
    return "0" if text == "-0" else text


def write_data_file(path, species, stock, season, area, scientific, source, effort_unit,
                    catch_exponent, rows):
    lines = [
        "-------------СПРАВКА-------------------",
        "ВИД", species, "",
        "ЗАПАС", stock, "",
        "СЕЗОН", season, "",
        "РАЙОН", area, "",
        "ДАННЫЕ", "научные" if scientific else "промысловые", "",
        "ИСТОЧНИК", source,
        "---------------РАЗМЕРНОСТЬ---------------",
        effort_unit,
        str(catch_exponent),
        "-" * 40,
        "ГОД\tУЛОВ НА УСИЛИЕ\tУСИЛИЕ\tУЛОВ",
    ]
    assert len(lines) == 23
    for year, u, e, c in rows:
        lines.append("\t".join([str(year), u, e, c]))
    with open(path, "wb") as f:
        f.write("".join(line + "\r\n" for line in lines).encode("cp1251"))


def yellowfin(tsv):
    rows = []
    with open(tsv, encoding="utf-8") as f:
        header = f.readline().split()
        assert header == ["year", "catch", "effort"], header
        for line in f:
            if not line.strip():
                continue
            year, catch, effort = line.split()
            catch = float(catch)              # thousands of pounds
            effort = float(effort) / 1000.0   # thousands of standard days
            rows.append((int(year), fmt(catch / effort), fmt(effort), fmt(catch)))
    write_data_file(
        os.path.join(ROOT, "examples", "yellowfin_epo_1934_1955.txt"),
        species="Желтоперый тунец",
        stock="Восточная часть Тихого океана",
        season="Календарный год",
        area="Восточная тропическая часть Тихого океана",
        scientific=False,
        source="Schaefer M. B. (1957). A study of the dynamics of the fishery for yellowfin tuna "
               "in the eastern tropical Pacific Ocean. Bull. Inter-Amer. Trop. Tuna Comm. 2: "
               "247-285. Улов в тыс. фунтов (1 тыс. фунтов = 0,4536 т), усилие в тыс. "
               "стандартных судосуток (класс 4)",
        effort_unit="Тыс. стандартных судосуток",
        catch_exponent=0,
        rows=rows)


# Parameters of the simulated stock (also in examples/README.md).
R, K, Q = 0.4, 1500.0, 0.005      # growth rate per year, thousand tonnes, per 100 vessel-days
FIRST_YEAR, YEARS = 1990, 30
SIGMA_EFFORT, SIGMA_CATCH = 0.05, 0.1
SEED = 1957


def planned_effort(t):
    """Effort rises from 10 to 60 (hundreds of vessel-days) over 20 years, then falls to 35."""
    if t < 20:
        return 10.0 + 50.0 * t / 19.0
    return 60.0 - 25.0 * (t - 19) / 10.0


def simulated():
    rng = random.Random(SEED)
    biomass = K
    rows = []
    for t in range(YEARS):
        effort = round(planned_effort(t) * math.exp(rng.gauss(0.0, SIGMA_EFFORT)), 2)
        catch_true = Q * effort * biomass
        catch = round(catch_true * math.exp(rng.gauss(0.0, SIGMA_CATCH)), 3)
        rows.append((FIRST_YEAR + t, "%.6g" % (catch / effort), fmt(effort), fmt(catch)))
        biomass = biomass + R * biomass * (1.0 - biomass / K) - catch_true
        assert biomass > 0.0
    write_data_file(
        os.path.join(ROOT, "examples", "schaefer_simulated_1990_2019.txt"),
        species="Модельный вид (имитационные данные)",
        stock="Запас по модели Шефера: r = 0,4; K = 1500 тыс. т; q = 0,005",
        season="Календарный год",
        area="Нет (данные получены имитацией)",
        scientific=True,
        source="scripts/make_examples.py: B(t+1) = B + r*B*(1 - B/K) - C, B(1990) = K, "
               "C = q*E*B; ошибки наблюдения логнормальные (усилие 5 %, улов 10 %), seed 1957",
        effort_unit="Сотни судосуток промысла",
        catch_exponent=3,
        rows=rows)


if __name__ == "__main__":
    tsv = sys.argv[1] if len(sys.argv) > 1 else "/work/shared/data/yellowfin_epo_1934_1955.tsv"
    yellowfin(tsv)
    simulated()
