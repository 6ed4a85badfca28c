#!/usr/bin/python3
"""Lists the species that NASA CEA finds in common propellant, explosive and
pyrotechnic systems, for the coverage test of the species database.

Runs CEA (the rocketcea package's build of it, with NASA's thermo.inp) for a rocket
chamber at 1000 psia expanded to an area ratio of 10 (chamber, throat and exit states)
for each system below, and writes tests/db/cea_survey_species.txt: one line per system
with the CEA species whose mole fraction reaches 1e-5 in any of the three states
(CEA's names, '*' dropped).

Usage: /usr/bin/python3 tools/dbbuild/cea_survey.py > tests/db/cea_survey_species.txt
"""
import re

from rocketcea.cea_obj import CEA_Obj, add_new_fuel, add_new_oxidizer


def F(name, formula, h, wt=100):
    return f"fuel {name} {formula} wt%={wt}. t(k)=298.15 h,kj/mol={h}"


def O(name, formula, h, wt=100):
    return f"oxid {name} {formula} wt%={wt}. t(k)=298.15 h,kj/mol={h}"


CASES = [  # name, fuel cards, oxidizer cards, o/f mass ratio
 ('tnt', F('TNTX','C 7 H 5 N 3 O 6',-63.2), O('AIRX','N 2 O 0.5',0),0.01),
 ('rdx', F('RDXX','C 3 H 6 N 6 O 6',70.0), O('AIRX2','N 2 O 0.5',0),0.01),
 ('anfo', F('FOX','C 1 H 2',-25.0), O('ANX','N 2 H 4 O 3',-365.56),16.0),
 ('ch4o2rich', F('CH4X','C 1 H 4',-74.6), O('O2X','O 2',0),1.5),
 ('ch4o2', F('CH4Y','C 1 H 4',-74.6), O('O2Y','O 2',0),3.4),
 ('rp1lox', F('RPX','C 1 H 1.95',-24.7), O('O2Z','O 2',0),2.3),
 ('n2o4udmh', F('UDMHX','C 2 H 8 N 2',48.3), O('NTOX','N 2 O 4',-19.56),2.6),
 ('h2o2pe', F('PEX','C 1 H 2',-25.0), O('HTPX','H 2 O 2',-187.8),7.0),
 ('nitrocellulose', F('NCX','C 6 H 7.55 N 2.45 O 9.9',-700.0), O('AIRY','N 2 O 0.5',0),0.01),
 ('apal', F('ALY','AL 1',0.0), O('APY','N 1 H 4 CL 1 O 4',-295.767),4.0),
 ('aphtpbal', F('HTPBY','C 10 H 15.4 O 0.07',-50,40)+'\n'+F('ALZ','AL 1',0,60), O('APZ','N 1 H 4 CL 1 O 4',-295.767),2.33),
 ('aphtpb', F('HTPBZ','C 10 H 15.4 O 0.07',-50), O('APW','N 1 H 4 CL 1 O 4',-295.767),5.0),
 ('pvcap', F('PVCX','C 2 H 3 CL 1',-35.0), O('APV','N 1 H 4 CL 1 O 4',-295.767),3.0),
 ('clf3n2h4', F('N2H4X','N 2 H 4',50.63), O('CLF3X','CL 1 F 3',-163.2),2.5),
 ('f2h2', F('H2X','H 2',0), O('F2X','F 2',0),12.0),
 ('ptfehtpb', F('HTPBW','C 10 H 15.4 O 0.07',-50), O('PTFEX','C 2 F 4',-820.0),3.0),
 ('boronap', F('BX','B 1',0,70)+'\n'+F('CH2X','C 1 H 2',-20,30), O('APU','N 1 H 4 CL 1 O 4',-295.767),2.0),
 ('boronan', F('BY','B 1',0,70)+'\n'+F('CH2Y','C 1 H 2',-20,30), O('ANY','N 2 H 4 O 3',-365.56),1.0),
 ('boronkno3', F('BZ','B 1',0), O('KNO3X','K 1 N 1 O 3',-494.63),3.0),
 ('blackpowder', F('CX','C 1',0,60)+'\n'+F('SX','S 1',0,40), O('KNO3Y','K 1 N 1 O 3',-494.63),3.0),
 ('mgptfe', F('MGX','MG 1',0), O('PTFEY','C 2 F 4',-820.0),1.2),
 ('mgan', F('MGY','MG 1',0,30)+'\n'+F('CH2Z','C 1 H 2',-20,70), O('ANZ','N 2 H 4 O 3',-365.56),4.0),

]


def main():
    print("# Species of mole fraction >= 1e-5 in NASA CEA results (rocket chamber at")
    print("# 1000 psia, throat, exit at area ratio 10); written by tools/dbbuild/cea_survey.py.")
    print("# system: CEA species names ('*' dropped)")
    for name, fuel, oxid, ratio in CASES:
        add_new_fuel("F" + name, fuel)
        add_new_oxidizer("O" + name, oxid)
        cea = CEA_Obj(oxName="O" + name, fuelName="F" + name)
        out = cea.get_full_cea_output(Pc=1000.0, MR=ratio, eps=10.0, short_output=1,
                                      output="siunits")
        start = out.find("MOLE FRACTIONS")
        if start < 0:
            continue  # CEA found no solution (it would need a condensed insert)
        species = []
        for line in out[start:].split("\n")[1:]:
            parts = line.split()
            if not parts:
                continue
            if "THERMO" in line or "NOTE" in line:
                break
            values = []
            for text in parts[1:]:
                if re.match(r"^\d\.\d+-\d$", text):  # CEA's 1.23-5 for 1.23e-5
                    text = text.replace("-", "E-")
                try:
                    values.append(float(text))
                except ValueError:
                    pass
            if values and max(values) >= 1e-5:
                species.append(parts[0].replace("*", ""))
        print(name + ": " + " ".join(species))


if __name__ == "__main__":
    main()
