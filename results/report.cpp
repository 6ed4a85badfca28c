#include "results/report.h"

#include <algorithm>
#include <cmath>

#include "common/constants.h"
#include "common/interaction.h"
#include "common/numfmt.h"
#include "common/report_file.h"
#include "task/elements.h"
#include "task/oxidizer_fuel.h"
#include "task/settings_record.h"
#include "task/task.h"
#include "thermo/bkw.h"
#include "thermo/bkw_species.h"
#include "thermo/detonation_figures.h"
#include "thermo/eos.h"
#include "thermo/workspace.h"

namespace kvil {

namespace {

constexpr int kRuleWidth = 76;

const std::string kUnitNames[21] = {
    "",          "   MPa   ", "   at    ",   " K",           " C",
    "cub.m/kg ", "cub.dm/kg", " kJ/(kg*K) ", "kcal/(kg*K)",  " kJ/kg ",
    "kcal/kg",   " kJ/kg ",   "kcal/kg",     "   MPa   ",    "    at   ",
    "cub.m/kg ", "cub.dm/kg", "W/(m*K) ",    "kcal/(m*h*K)", "N*s/sq.m",
    "kp*s/sq.m"};

const char* const kParameterNames[9] = {"", "p", "T", "V", "S", "H", "U", "Pa", "Va"};

const char* const kConcentrationUnitNames[4] = {"", "mol/kg", "mole fractions", "mass fractions"};

std::time_t SystemClock() {
  return std::time(nullptr);
}
ReportClock g_clock = &SystemClock;

std::string Spaces(int n) {
  return std::string(n > 0 ? n : 0, ' ');
}

const char* ParameterName(int code) {
  return code >= 1 && code <= 8 ? kParameterNames[code] : "";
}

// The second unit of p and Pa as the task's unit choosers name it: the standard
// atmosphere.  (The technical output units print pressures in "at".)
const std::string kChosenAtmName[2] = {"   atm   ", "    atm  "};

// Unit chosen by the user for parameter code 1..8; the SI unit when the stored choice
// does not belong to the parameter.
const std::string& ChosenUnit(const Task& task, int code) {
  if (code < 1 || code > 8) return kUnitNames[0];
  int unit = task.unitCodes[code];
  if (unit != 2 * code - 1 && unit != 2 * code) unit = 2 * code - 1;
  if (unit == 2) return kChosenAtmName[0];
  if (unit == 14) return kChosenAtmName[1];
  return kUnitNames[unit];
}

bool ChosenUnitIsTechnical(const Task& task, int code) {
  return code >= 1 && code <= 8 && task.unitCodes[code] == 2 * code;
}

// Text the parameter chooser of a value slot shows for a code.
std::string ChooserText(int slot, int code) {
  if (slot == 3) {
    switch (code) {
      case kParamPa:
        return "Pa";
      case kParamVa:
        return "Va";
      case kParamAreaRatio:
        return "Fa/Fthroat";
      default:
        break;
    }
  }
  return ParameterName(code);
}

// Assigned value converted to the unit chosen for its code.
double EchoValue(const Task& task, int code, float value) {
  double v = value;
  if (code < 1 || code > 6 || !ChosenUnitIsTechnical(task, code)) return v;
  switch (code) {
    case kParamP:
      return v / kStandardAtmosphereMPa;
    case kParamT:
      return v - kCelsiusOffset;
    case kParamV:
      return v * 1000.0;
    default:
      return v * kKcalPerKJ;
  }
}

bool NoCorrections(const NonIdealCorrections& c) {
  if (c.Gc != 0 || c.Sc != 0 || c.Hc != 0 || c.Uc != 0 || c.G2c != 0) return false;
  for (double v : c.phi)
    if (v != 0) return false;
  for (double v : c.gamma)
    if (v != 0) return false;
  return true;
}

// Gas amount: the moles of all species of phase code 2, mol/kg.
double GasAmount(const CalcWorkspace& ws, int speciesCount) {
  double n = 0;
  for (int k = 1; k <= speciesCount; ++k)
    if (ws.run.Phase(k) == 2) n += ws.species.nSingle[k];
  return n;
}

// Passes messages on to the user only while `enabled`; progress and pending input
// always go through.
class MessageGate : public Interaction {
 public:
  MessageGate(Interaction& inner, bool enabled) : inner_(inner), enabled_(enabled) {}
  Answer Message(MessageKind kind, const std::string& text, Buttons buttons) override {
    shown_ = true;
    if (!enabled_) return buttons == Buttons::Ok ? Answer::Ok : Answer::Yes;
    return inner_.Message(kind, text, buttons);
  }
  void ShowProgress(bool visible) override { inner_.ShowProgress(visible); }
  void SetProgressLabels(const ProgressLabels& l) override { inner_.SetProgressLabels(l); }
  bool ShowsProgressLabels() const override { return inner_.ShowsProgressLabels(); }
  void SetProgressPosition(int position) override { inner_.SetProgressPosition(position); }
  void ProcessPendingInput() override { inner_.ProcessPendingInput(); }
  bool shown() const { return shown_; }

 private:
  Interaction& inner_;
  bool enabled_;
  bool shown_ = false;
};

std::string Cut(std::string text, size_t width) {
  if (text.size() > width) text.resize(width);
  return text;
}

class PointWriter {
 public:
  PointWriter(const RunReport& report, int elementCount, int speciesCount)
      : settings_(report.settings),
        ui_(report.ui),
        task_(report.task),
        ws_(report.ws),
        r_(report.ws.results),
        out_(report.file),
        elementCount_(std::clamp(elementCount, 0, kMaxSystemElements)),
        speciesCount_(std::clamp(speciesCount, 0, kMaxRunSpecies)),
        technical_(task_.options[kOptOutputUnits] == 1),
        dominant_(task_.options[kOptDominant] == 1) {
    concUnit_ = task_.options[kOptConcUnit];
    if (concUnit_ < 1 || concUnit_ > 3) concUnit_ = 1;
    nGas_ = GasAmount(ws_, speciesCount_);
    ws_.state.reportGasAmount = nGas_;
  }

  void Write(float value1, int code1, float value2, int code2) {
    VariantBanner();
    ExpansionLines();
    EosLine();
    AssignedValues(value1, code1, value2, code2);
    ElementBlock();
    WriteSeparatorLine(out_);
    if (task_.options[kOptBrief] == 1)
      BriefResults();
    else
      FullResults();
    if (ws_.state.detonationFlag)
      DetonationParameters();
    else
      PowderParameters(code1, code2);
    RocketPerformance();
    WriteSeparatorLine(out_);
    // The blocks go to the system whole, a quarter of a second's worth at a time: a
    // reader of the file during a long run sees the points finished until then.
    out_.FlushBlock();
  }

 private:
  double Rg() const { return kGasConstantKJ * nGas_; }

  void VariantBanner() {
    if (!task_.variableComposition) return;
    out_.Line(std::string(kRuleWidth, '-'));
    out_.Line(Spaces(15) + "*** Variable Source Components Variant " + "(" +
              PadLeft(IntText(ws_.state.componentVariant), 2) + ") ***");
    out_.Line(std::string(kRuleWidth, '-'));
  }

  void ExpansionLines() {
    const RunState& st = ws_.state;
    if (st.expansionFlag && !st.throatFlag) {
      out_.Line(Spaces(20) + "Adiabatic expansion");
      if (!st.frozenFlag) out_.Line();
    }
    if (st.frozenFlag) {
      out_.Line(Spaces(20) + "(FROZEN at " + FormatPicture(settings_.record.freezingT, "0.#") +
                " K).");
      out_.Line();
    }
  }

  void EosLine() {
    if (ws_.bkw.pointSolved && ws_.state.gasPresent) {
      out_.Line("      BKW EOS (" + BkwParameterSet(ws_.bkw.parameterSet).name +
                ") was used in calculations.");
      return;
    }
    if (NoCorrections(ws_.corrections) || !ws_.state.gasPresent)
      out_.Line("      Ideal gas EOS was used in calculations.");
    else if (task_.Eos() == 2) {
      out_.Line("      Virial EOS was used in calculations.");
      // Past the density its two coefficients hold for, the figures are less sure.
      const double reduced = VirialReducedDensity(ws_);
      if (reduced > kVirialDensityLimit)
        out_.Line("      The density (b0*rho = " + Fixed(reduced, 4, 2) +
                  ") is above the range of the virial coefficients (b0*rho <= " +
                  Fixed(kVirialDensityLimit, 3, 1) + ").");
    } else
      out_.Line("      EOS of Kelmost was used in calculations.");
  }

  void AssignedValues(float value1, int code1, float value2, int code2) {
    out_.Line(Spaces(10) + "Assigned values of equilibrium parameters :");
    const bool expansion = ws_.state.expansionFlag;
    std::string line = Spaces(10);
    const double v1 = EchoValue(task_, code1, value1);
    if (expansion && code1 == kParamP)
      line += "Pa=" + Fixed(v1, 12, 5);
    else if (expansion && code1 == kParamV)
      line += "Va=" + Fixed(v1, 12, 5);
    else
      line += std::string(ParameterName(code1)) + " =" + Fixed(v1, 12, 5);
    line += " " + ChosenUnit(task_, code1) + Spaces(7);
    if (expansion && code2 == kParamAreaRatio) {
      line += "Fa/Fthroat=" + Fixed(value2, 12, 4);
    } else {
      line += std::string(ParameterName(code2)) + " =" +
              Fixed(EchoValue(task_, code2, value2), 12, 5) + " " + ChosenUnit(task_, code2);
    }
    out_.Line(line);
  }

  // The elements of the system with the oxidizer/fuel ratio and the oxygen balance:
  // the same lines for every point of a source-composition variant, formed when the
  // elements differ from those they were formed for.
  void ElementBlock() {
    ReportElementBlock& block = ws_.state.reportElementBlock;
    bool same = block.valid && block.elementCount == elementCount_ &&
                block.taskElementCount == task_.elementCount;
    for (int j = 1; j <= kMaxSystemElements && same; ++j)
      same = block.index[j - 1] == task_.elements[j].index &&
             block.amount[j - 1] == task_.elements[j].amount;
    if (!same) {
      block.text.clear();
      Elements(block.text);
      OxidizerFuelLines(block.text);
      block.elementCount = elementCount_;
      block.taskElementCount = task_.elementCount;
      for (int j = 1; j <= kMaxSystemElements; ++j) {
        block.index[j - 1] = task_.elements[j].index;
        block.amount[j - 1] = task_.elements[j].amount;
      }
      block.valid = true;
    }
    out_.Write(block.text);
  }

  static void AddLine(std::string& text, const std::string& line) {
    text += line;
    text += "\r\n";
  }

  void Elements(std::string& text) {
    AddLine(text, Spaces(10) + "Elements in system, mole/kg");
    std::string line = Spaces(2);
    int printed = 0;
    for (int j = 1; j <= elementCount_; ++j) {
      const SystemElement& e = task_.elements[j];
      if (e.index <= 0 || !(e.amount > 1e-10)) continue;
      line += "[" + PadLeft(ElementSymbol(e.index), 2) + "]=" + Fixed(e.amount, 8, 4) + Spaces(2);
      if (++printed % 5 == 0) {
        AddLine(text, line);
        line = Spaces(2);
      }
    }
    AddLine(text, line);
  }

  void OxidizerFuelLines(std::string& text) {
    // An element without an oxidizer/fuel class is reported once per run, not once
    // for every point.
    MessageGate gate(ui_, !ws_.state.reportBalanceMessagesShown);
    const OxidizerFuel of = OxidizerFuelBalance(task_, gate);
    if (gate.shown()) ws_.state.reportBalanceMessagesShown = true;
    if (of.fuel > 1e-8)
      AddLine(text,
              "  Oxidizer/Fuel ratio: " + Fixed(double(of.oxidizer) / double(of.fuel), 8, 3));
    if (std::fabs(of.oxygenBalance) < 1000)
      AddLine(text, "       Oxygen balance: " + Fixed(of.oxygenBalance, 8, 2) + " %");
  }

  void BriefResults() {
    std::string line;
    if (technical_) {
      line = Spaces(8) + "p =" + FormatReportNumber(r_.p * kMPaToAt) + " " + kUnitNames[2] +
             Spaces(8) + "T =" + FormatReportNumber(r_.T - kCelsiusOffset) + " " + kUnitNames[4];
    } else {
      line = Spaces(8) + "p =" + FormatReportNumber(r_.p) + " " + kUnitNames[1] + Spaces(8) +
             "T =" + FormatReportNumber(r_.T) + " " + kUnitNames[3];
    }
    out_.Line(line);
    if (technical_)
      line = Spaces(8) + "V =" + FormatReportNumber(r_.V * 1000.0) + " " + kUnitNames[6];
    else
      line = Spaces(8) + "V =" + FormatReportNumber(r_.V) + " " + kUnitNames[5];
    if (r_.CvEquilibrium > 0 && r_.CpEquilibrium > 0 && !r_.cpUnbounded)
      line += Spaces(8) + "Cp\"/Cv\" =" + Fixed(r_.CpEquilibrium / r_.CvEquilibrium, 9, 5);
    out_.Line(line);
  }

  void FullResults() {
    out_.Line(Spaces(18) + "Equilibrium parameters :");
    out_.Line();
    const double rt = Rg() * r_.T;
    double z = 1;
    if (ws_.state.gasPresent && rt != 0) z = 1000.0 * r_.p * r_.gasVolume / rt;

    const double si[7] = {0, r_.p, r_.T, r_.V, r_.S, r_.H, r_.U};
    double values[7];
    for (int j = 1; j <= 6; ++j) values[j] = si[j];
    if (technical_) {
      values[1] = r_.p * kMPaToAt;
      values[2] = r_.T - kCelsiusOffset;
      values[3] = r_.V * 1000.0;
      for (int j = 4; j <= 6; ++j) values[j] = si[j] * kKcalPerKJ;
    }
    for (int j = 1; j <= 3; ++j) {
      const int unitLeft = technical_ ? 2 * j : 2 * j - 1;
      const int unitRight = unitLeft + 6;
      std::string line = Spaces(8) + ParameterName(j) + " =" + FormatReportNumber(values[j]) + " " +
                         kUnitNames[unitLeft];
      if (j == 2) line += Spaces(7);
      line += Spaces(8) + ParameterName(j + 3) + " =" + FormatReportNumber(values[j + 3]) + " " +
              kUnitNames[unitRight];
      out_.Line(line);
    }
    out_.Line(Spaces(8) + "M =" + Fixed(r_.nTotal, 12, 5) + " mole/kg         " + "Vg =" +
              (technical_ ? FormatReportNumber(r_.gasVolume * 1000.0) + " " + kUnitNames[6]
                          : FormatReportNumber(r_.gasVolume) + " " + kUnitNames[5]));
    if (technical_)
      out_.Line("       Rg =" + Fixed(Rg() * 1000.0 * kKpmPerJ, 10, 5) + "  kp*m/(kg*K)" +
                Spaces(6) + "p*Vg/(R*T) =" + Fixed(z, 7, 3));
    else
      out_.Line("       Rg =" + Fixed(Rg(), 10, 5) + " " + kUnitNames[7] + Spaces(2) +
                "p*Vg/(R*T) =" + Fixed(z, 7, 3));

    SoundAndTransport();

    double mcond = 0;
    for (int k = 1; k <= speciesCount_; ++k)
      if (ws_.run.Phase(k) == 1)
        mcond += double(ws_.species.nSingle[k]) * double(ws_.run.molarMass[k]) * kKgPerGram;
    out_.Line(Spaces(7) + "Mcond = " + Fixed(mcond, 8, 4));
    out_.Line();

    out_.Line(Spaces(20) + "Concentrations of species, " + kConcentrationUnitNames[concUnit_] +
              ":");
    if (nGas_ < 1e-10) out_.Line(Spaces(19) + "(Gas phase quantity tends to zero).");
    out_.Line();
    GasList();
    out_.Line();
    CondensedList();
    FrozenParameters();
  }

  void SoundAndTransport() {
    const bool on = task_.options[kOptSound] == 1 && r_.soundSpeed > 1 && r_.kEquilibrium > 0 &&
                    ws_.state.gasPresent && !ws_.state.frozenFlag;
    if (!on) return;
    out_.Line(Spaces(7) + "a\" =" + Fixed(r_.soundSpeed, 9, 1) + " m/s" + Spaces(19) +
              "k\" =" + Fixed(r_.kEquilibrium, 9, 5));
    // On a phase-change plateau the equilibrium Cp has no finite value: said in words,
    // in the field of the number.
    auto value = [](bool unbounded, double v, const std::string& unit) {
      if (unbounded) return std::string("unbounded") + std::string(unit.size() + 1, ' ');
      return Fixed(v, 9, 5) + " " + unit;
    };
    if (technical_) {
      out_.Line(Spaces(6) + "Cp\" =" +
                value(r_.cpUnbounded, r_.CpEquilibrium * kKcalPerKJ, kUnitNames[8]) + Spaces(7) +
                "Cv\" =" + value(r_.cvUnbounded, r_.CvEquilibrium * kKcalPerKJ, kUnitNames[8]));
      out_.Line(Spaces(7) + "Lt =" + Fixed(r_.lambdaFrozen * kKcalPerHourPerW, 9, 5) + " " +
                kUnitNames[18] + Spaces(7) + "Lt\" =" +
                Fixed(r_.LambdaEquilibrium() * kKcalPerHourPerW, 9, 5) + " " + kUnitNames[18]);
      out_.Write(Spaces(7) + "Mu =" + Fixed(r_.viscosity * kKpPerNewton, 12, 8) + " " +
                 kUnitNames[20]);
    } else {
      out_.Line(Spaces(6) + "Cp\" =" + value(r_.cpUnbounded, r_.CpEquilibrium, kUnitNames[7]) +
                Spaces(10) + "Cv\" =" + value(r_.cvUnbounded, r_.CvEquilibrium, kUnitNames[7]));
      out_.Line(Spaces(7) + "Lt =" + Fixed(r_.lambdaFrozen, 9, 5) + " " + kUnitNames[17] +
                Spaces(13) + "Lt\" =" + Fixed(r_.LambdaEquilibrium(), 9, 5) + " " + kUnitNames[17]);
      out_.Write(Spaces(7) + "Mu =" + Fixed(r_.viscosity, 12, 8) + " " + kUnitNames[19]);
    }
  }

  bool Skipped(int k) const { return dominant_ && ws_.species.nSingle[k] < settings_.cutoff; }

  // Lays out items three to a line: one blank after the first and second, a line end
  // after the third.
  void Item(std::string& text, int& count) {
    ++count;
    if (count % 3 == 0) {
      out_.Line(text);
    } else {
      text += ' ';
      out_.Write(text);
    }
  }

  void GasList() {
    if (concUnit_ == 2 && nGas_ < 1e-10) {
      out_.Line(Spaces(2) +
                "Calculation of mole fractions is impossible because the gas phase is absent.");
      return;
    }
    int count = 0;
    for (int k = 1; k <= speciesCount_; ++k) {
      if (ws_.run.Phase(k) == 1 || Skipped(k)) continue;
      const double n = ws_.species.nSingle[k];
      double value = n;
      if (concUnit_ == 2) value = n / nGas_;
      if (concUnit_ == 3) value = n * double(ws_.run.molarMass[k]) * kKgPerGram;
      item_.clear();
      const std::string& name = ws_.run.names[k];
      if (name.size() < 12) item_.append(12 - name.size(), ' ');
      item_ += name;
      AppendConcentration(item_, value, dominant_);
      Item(item_, count);
    }
  }

  void CondensedList() {
    int count = 0;
    for (int k = 1; k <= speciesCount_; ++k) {
      if (ws_.run.Phase(k) != 1 || Skipped(k)) continue;
      const double n = ws_.species.nSingle[k];
      const int position = count % 3 + 1;  // place of this item in its line
      double value = n;
      if (concUnit_ == 2) value = n > 0 ? 1.0 : 0.0;
      if (concUnit_ == 3) value = n * double(ws_.run.molarMass[k]) * kKgPerGram;
      const bool small = !(value > 1e-6) && value != 0;
      std::string field;
      if (small)
        field = Sci(value, 12);
      else if (concUnit_ == 1)
        field = Fixed(value, 12, 8);
      else if (concUnit_ == 2)
        field = Fixed(value, 12, value != 0 && position == 3 ? 8 : 6);
      else
        field = Fixed(value, 12, position == 3 ? 8 : 9);
      std::string text = PadLeft(ws_.run.names[k], 12) + field;
      Item(text, count);
    }
    if (count % 3 != 0) out_.Line();
  }

  void FrozenParameters() {
    if (!(r_.CvFrozen > 0) || !ws_.state.gasPresent) return;
    out_.Line();
    out_.Line(Spaces(20) + "\"Frozen\" parameters :");
    out_.Line();
    const double cp = technical_ ? r_.Cp * kKcalPerKJ : r_.Cp;
    out_.Line(Spaces(8) + "Cp =" + Fixed(cp, 9, 5) + " " + kUnitNames[technical_ ? 8 : 7] + "   " +
              "Cp/Cv =" + Fixed(r_.Cp / r_.CvFrozen, 9, 5));
    std::string line = Spaces(8) + " a =" + Fixed(r_.aFrozen, 9, 1) + " m/s" + Spaces(11);
    if (r_.kFrozen > 0) line += " k =" + Fixed(r_.kFrozen, 9, 5);
    out_.Line(line);
  }

  void PowderParameters(int code1, int code2) {
    auto powderCode = [](int c) { return c == kParamP || c == kParamV || c == kParamU; };
    if (!powderCode(code1) || !powderCode(code2) || !ws_.state.gasPresent) return;
    out_.Line();
    out_.Line(Spaces(20) + "Powder Parameters");
    out_.Line();
    const double rt = Rg() * r_.T;
    const double fp = rt;
    double cov = r_.p > 0 ? r_.V * 1000.0 - rt / r_.p : 0.0;
    if (!(cov > 0)) cov = 0;
    const double pp = r_.CvFrozen * r_.T;
    if (technical_)
      out_.Line(" FP =" + Fixed(fp * 1000.0 * kKpmPerJ, 9, 1) + "  kp*m/kg" + Spaces(2) +
                "Cov =" + Fixed(cov, 8, 3) + " " + kUnitNames[6] + Spaces(2) +
                "PP =" + Fixed(pp * 1000.0 * kKpmPerJ, 10, 1) + " kp*m/kg");
    else
      out_.Line(" FP =" + Fixed(fp, 9, 2) + Spaces(2) + kUnitNames[9] + Spaces(2) +
                "Cov =" + Fixed(cov, 8, 3) + " " + kUnitNames[6] + Spaces(2) +
                "PP =" + Fixed(pp, 10, 2) + " " + kUnitNames[9]);
  }

  // Label right-aligned so that the number starts in column 34.
  static std::string Label(int blanks, const std::string& label) {
    return Spaces(blanks) + PadLeft(label, 28);
  }

  void RocketPerformance() {
    RunState& st = ws_.state;
    st.reportFlowVelocity = 0;
    st.reportExpansionPressure = 0;
    if (!st.expansionFlag) return;
    st.reportExpansionPressure = r_.p;
    out_.Line();
    out_.Line(Spaces(15) + "Rocket Performance (ambient pressure = " +
              FormatPicture(settings_.record.ambientP, "0.####") + " MPa)");
    out_.Line();
    const double w2 = 2000.0 * (double(st.chamberH) - r_.H);
    if (!(w2 > 0)) return;
    const double w = std::sqrt(w2);
    st.reportFlowVelocity = w;
    out_.Line(Label(5, "Velocity of flow: ") + Fixed(w, 10, 2) + " m/s");
    const double ivac = r_.p * r_.V * 1e6 / w + w;
    out_.Line(Label(5, "Specific impulse (vacuum): ") + Fixed(ivac, 10, 2) + " m/s" + " (" +
              Fixed(ivac * kSecondsPerMeterPerSecond, 7, 2) + " s)");
    const double iatm = (r_.p - double(settings_.record.ambientP)) * r_.V * 1e6 / w + w;
    if (iatm > 0)
      out_.Line(Label(2, "Specific impulse (atmosphere): ") + Fixed(iatm, 10, 2) + " m/s" + " (" +
                Fixed(iatm * kSecondsPerMeterPerSecond, 7, 2) + " s)");
    const double at = st.throatAreaPerFlow;
    if (at > 0) {
      out_.Line(Label(3, "Area per unit mass flow rate: ") + FormatPicture(r_.V / w, "0.###e+00") +
                " m*m*s/kg");
      const double cstar = 1e6 * double(st.chamberP) * at;
      if (st.throatFlag)
        out_.Line(Label(5, "Characteristic velocity: ") + Fixed(cstar, 10, 2) + " m/s" + " (" +
                  Fixed(cstar * kSecondsPerMeterPerSecond, 7, 2) + " s)");
      // Without a chamber pressure there is no characteristic velocity to divide by.
      if (cstar > 0) out_.Line(Label(5, "Coefficient of thrust: ") + Fixed(ivac / cstar, 10, 3));
      const double ratio = std::round(r_.V / (w * at) * 10000.0) / 10000.0;
      out_.Line(Label(5, "Area ratio: ") + Fixed(ratio, 10, 3));
    }
    if (r_.soundSpeed > 1) out_.Line(Label(5, "Mach number: ") + Fixed(w / r_.soundSpeed, 10, 3));
  }

  // The detonation of the point (its CJ state is the state above), laid out as the
  // rocket performance: labels right-aligned so that the numbers start in column 34.
  void DetonationParameters() {
    const DetonationFigures& f = ws_.detonation;
    DetonationRequest initial;
    initial.initialDensity = f.gaseous ? 0 : f.rho0;
    initial.initialPressure = f.p0;
    initial.initialTemperature = f.T0;
    out_.Line();
    out_.Line(Spaces(15) + "Detonation parameters (" + InitialStateText(initial) + ")");
    out_.Line();
    out_.Line(Label(5, "Detonation velocity: ") + Fixed(f.D, 10, 2) + " m/s");
    out_.Line(Label(5, "C-J pressure: ") + Fixed(f.pCJ, 10, 2) + " MPa");
    out_.Line(Label(5, "C-J temperature: ") + Fixed(f.TCJ, 10, 2) + " K");
    out_.Line(Label(5, "C-J density: ") + Fixed(f.rhoCJ, 10, 5) + " g/cm3");
    out_.Line(Label(5, "Relative volume V/V0: ") + Fixed(f.vCJ, 10, 5));
    out_.Line(Label(5, "Particle velocity: ") + Fixed(f.uCJ, 10, 2) + " m/s");
    out_.Line(Label(5, "Sound velocity: ") + Fixed(f.cCJ, 10, 2) + " m/s");
    out_.Line(Label(5, "D - (u + c): ") + Fixed(f.D - f.uCJ - f.cCJ, 10, 2) + " m/s (" +
              Fixed(100 * f.soundCheck, 7, 4) + " %)");
    out_.Line(Label(5, "rho0*D*D/p - 1: ") + Fixed(f.gammaCJ, 10, 5));
    out_.Line(Label(5, "Initial density: ") + Fixed(f.rho0, 10, 5) + " g/cm3");
    out_.Line(Label(5, "Initial energy E0: ") + Fixed(f.E0, 10, 2) + " kJ/kg");
    out_.Line();
    std::string title = Spaces(15) + "Expansion along the C-J isentrope";
    if (f.frozenExpansion)
      title += " (FROZEN at " + FormatPicture(settings_.record.freezingT, "0.#") + " K)";
    out_.Line(title);
    out_.Line();
    for (int i = 0; i < 3; ++i) {
      if (!f.energyValid[i]) continue;
      out_.Line(Label(5, "Energy to V/V0 = " + FormatPicture(kCylinderVolumes[i], "0.0") + ": ") +
                Fixed(f.energy[i], 10, 2) + " kJ/kg  Gurney: " + Fixed(f.gurney[i], 7, 1) + " m/s");
    }
    const JwlFit& j = f.jwl;
    if (!j.valid) return;
    out_.Line();
    out_.Line(Label(5, "JWL A, B, C: ") + Fixed(j.A, 10, 3) + Fixed(j.B, 10, 4) + Fixed(j.C, 10, 5) +
              " GPa");
    out_.Line(Label(5, "JWL R1, R2, omega: ") + Fixed(j.R1, 10, 4) + Fixed(j.R2, 10, 4) +
              Fixed(j.omega, 10, 4));
    out_.Line(Label(5, "JWL E0: ") + Fixed(j.E0, 10, 4) + " GPa");
    out_.Line(Label(5, "JWL largest deviation: ") + Fixed(100 * j.maxDeviation, 10, 3) +
              " % (V/V0 " + FormatPicture(j.vMin, "0.###") + " to " +
              FormatPicture(j.vMax, "0.###") + ")");
  }

  const Settings& settings_;
  Interaction& ui_;
  const Task& task_;
  CalcWorkspace& ws_;
  const ResultsBlock& r_;
  ReportFile& out_;
  std::string item_;  // text of one item of the species lists
  int elementCount_;
  int speciesCount_;
  bool technical_;
  bool dominant_;
  int concUnit_ = 1;
  double nGas_ = 0;
};

// The BKW parameter set of the run and the species whose covolume was estimated from
// their atoms, names wrapped within the rule width.
void WriteBkwHeaderLines(const Task& task, const CalcWorkspace& ws, ReportFile& out) {
  const BkwParameters& set = BkwParameterSet(task.options[kOptBkwSet]);
  out.Line(Spaces(5) + "BKW EOS, parameter set " + set.name + ".");
  const std::vector<std::string> names = EstimatedCovolumeSpecies(ws);
  if (names.empty()) return;
  out.Line(Spaces(5) + "Covolumes estimated from atomic radii for:");
  std::string line = Spaces(5);
  for (size_t i = 0; i < names.size(); ++i) {
    const std::string item = names[i] + (i + 1 < names.size() ? "," : "");
    if (line.size() > 5 && line.size() + 1 + item.size() > size_t(kRuleWidth)) {
      out.Line(line);
      line = Spaces(5);
    }
    if (line.size() > 5) line += ' ';
    line += item;
  }
  out.Line(line);
}

std::string DateTimeText() {
  const std::time_t t = g_clock();
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &t);
#else
  localtime_r(&t, &local);
#endif
  char buf[128];
  if (std::strftime(buf, sizeof buf, "%x %X", &local) == 0) return std::string();
  return buf;
}

}  // namespace

const std::string& ReportUnitName(int unitCode) {
  return unitCode >= 1 && unitCode <= 20 ? kUnitNames[unitCode] : kUnitNames[0];
}

void SetReportClock(ReportClock clock) {
  g_clock = clock ? clock : &SystemClock;
}

void WriteSeparatorLine(ReportFile& report) {
  report.Line(std::string(kRuleWidth, '_'));
  report.Line();
}

std::string FormatReportNumber(double value) {
  const float v = static_cast<float>(value);
  if (v == 0) return "     0      ";
  std::string text = std::fabs(v) <= 1e-4 ? Sci(v, 12) : Fixed(v, 12, 5);
  return Cut(text, 12);
}

void AppendConcentration(std::string& out, double value, bool dominant) {
  static const NumberPicture kAll("0.#####e-00"), kSmall("0.####e-00"), kLarge("0.#####"),
      kFraction("0.#######");
  const NumberPicture* picture = &kAll;
  if (value == 0 && !dominant) {  // the common case of a species list: most are absent
    out += "        0e00";
    return;
  }
  if (dominant) {
    const double a = std::fabs(value);
    if (value == 0) {
      out += "     0      ";
      return;
    }
    picture = a < 1e-6 ? &kSmall : a >= 1 ? &kLarge : &kFraction;
  }
  // Right-aligned in 12 places, cut to 12.
  const std::size_t start = out.size();
  picture->Append(out, value);
  const std::size_t length = out.size() - start;
  if (length >= 12)
    out.resize(start + 12);
  else
    out.insert(start, 12 - length, ' ');
}

std::string FormatConcentration(double value, bool dominant) {
  std::string text;
  AppendConcentration(text, value, dominant);
  return text;
}

void WriteReportHeader(const RunReport& report, int firstCode, int secondCode, int expansionCode) {
  ReportFile& out = report.file;
  const Task& task = report.task;
  const SettingsRecord& rec = report.settings.record;
  const int codes[4] = {0, firstCode, secondCode, expansionCode};

  report.ws.state.reportBalanceMessagesShown = false;
  report.ws.state.reportElementBlock.valid = false;
  out.Line(std::string(kRuleWidth, '*'));
  if (!task.slots[1].valueText.empty() || !task.slots[2].valueText.empty() || expansionCode != 0) {
    out.Line(Spaces(5) + "Date and time of calculations: " + DateTimeText());
    if (!task.comment.empty() && task.comment != " ")
      out.Line(Spaces(5) + "Task name: " + task.comment);
  }

  const int templateMode = report.ws.state.templateMode;
  if (templateMode == 0) {
    for (int slot = 1; slot <= 3; ++slot) {
      const ParameterSlot& ps = task.slots[slot];
      const int code = codes[slot];
      if (!(ps.valueText > std::string(" ")) || code == 0) continue;
      std::string line =
          Spaces(5) + ChooserText(slot, code) + " = " + Cut(ps.valueText, kMaxTaskText) + " ";
      // The unit of the values as typed (the expansion's Pa and Va too).
      if (code >= 1 && code <= 8) line += ChosenUnit(task, code);
      if (ps.stepText > std::string(" ")) {
        line += ",  step = " + ps.stepText;
        out.Line(line);
        line.clear();
      }
      out.Line(line);
    }
  } else if (templateMode == 1) {
    out.Line();
    out.Line(Spaces(25) + "Calculation of Impulse.");
    out.Line();
    out.Line(Spaces(5) + "p = " + Fixed(rec.impulseP, 3, 0) + " MPa, H = " +
             Fixed(rec.impulseH, 5, 0) + " kJ/kg, Pa = " + Fixed(rec.impulsePa, 4, 1) + " MPa");
  } else if (templateMode == 2) {
    out.Line();
    out.Line(Spaces(20) + "Calculation of Powder Force.");
    out.Line();
    out.Line(Spaces(5) + "p = " + Fixed(rec.powderP, 3, 0) +
             " MPa, U = " + Fixed(rec.powderU, 5, 0) + " kJ/kg");
  } else if (templateMode == 3) {
    out.Line();
    out.Line(Spaces(15) + "Calculation of Heat of Combustion.");
    out.Line();
    out.Line(Spaces(5) + "V = " + Fixed(rec.heatV, 10, 5) +
             " cub.m/kg, U = " + Fixed(rec.heatU, 5, 0) + " kJ/kg");
  } else if (templateMode == 4) {
    const auto& requests = report.ws.detonationRequests;
    out.Line();
    out.Line(Spaces(20) + "Calculation of Detonation.");
    out.Line();
    std::string densities;
    bool gaseous = false;
    for (const DetonationRequest& r : requests) {
      if (!densities.empty()) densities += ' ';
      gaseous = gaseous || !(r.initialDensity > 0);
      densities += r.initialDensity > 0 ? FormatPicture(r.initialDensity, "0.####") : "gas";
    }
    std::string line = Spaces(5) + "rho0 = " + densities + " g/cm3";
    if (!requests.empty()) {
      line += ", p0 = " + FormatPicture(requests.front().initialPressure, "0.####") + " MPa";
      if (gaseous)
        line += ", T0 = " + FormatPicture(requests.front().initialTemperature, "0.##") + " K";
    }
    out.Line(line);
  }

  bool anyFraction = false;
  for (int i = 1; i <= kMaxComponents; ++i)
    if (task.massFractions[i] > 0) anyFraction = true;
  if (anyFraction) out.Line(Spaces(5) + "Mass fractions of source components");
  for (int i = 1; i <= kMaxComponents; ++i) {
    if (!(task.massFractions[i] > 0)) continue;
    const SourceComponent& c = task.components[i];
    std::string line = "   Fractions: " + c.amountText;
    if (c.step != 0) line += " , step: " + Fixed(c.step, 6, 2);
    out.Line(line);
    out.Write(" Formula: ");
    const std::string& f = c.formula;
    for (size_t n = 1; n <= f.size(); ++n) {
      out.Write(std::string(1, f[n - 1]));
      if (n % 60 == 0 || n == f.size()) out.Line();
    }
    // The enthalpy of a component is kJ/kg; it is printed in the unit of the assigned
    // H or U when one is assigned.
    const int energyCode = firstCode == kParamH || firstCode == kParamU     ? firstCode
                           : secondCode == kParamH || secondCode == kParamU ? secondCode
                                                                            : 0;
    const double h = energyCode != 0 && ChosenUnitIsTechnical(task, energyCode)
                         ? double(c.enthalpy) * kKcalPerKJ
                         : double(c.enthalpy);
    std::string enthalpy = " Enthalpy=" + Fixed(h, 12, 3);
    if (energyCode != 0) enthalpy += " " + ChosenUnit(task, energyCode);
    out.Line(enthalpy);
  }

  const int fixedCount = std::clamp(task.fixedCount, 0, kMaxFixedConcentrations);
  if (fixedCount > 0) {
    out.Line(Spaces(5) + "List of species with fixed concentration:");
    for (int i = 1; i <= fixedCount; ++i)
      out.Line(Spaces(5) + PadLeft(task.fixed[i].name, 11) + Spaces(2) +
               Fixed(task.fixed[i].value, 12, 6));
  }
  if (task.options[kOptDominant] == 1)
    out.Line(Spaces(5) +
             "Cut-off value for the concentrations: " + Sci(report.settings.cutoff, 12));
  if (task.Eos() == kEosBkw) WriteBkwHeaderLines(task, report.ws, out);
  out.Line(std::string(kRuleWidth, '*'));
}

bool PointResultsRepresentable(const CalcWorkspace& ws, int speciesCount) {
  const ResultsBlock& r = ws.results;
  const RunState& st = ws.state;
  const double values[] = {r.p,
                           r.T,
                           r.V,
                           r.S,
                           r.H,
                           r.U,
                           r.Cp,
                           r.nTotal,
                           r.gasVolume,
                           r.soundSpeed,
                           r.kEquilibrium,
                           r.CpEquilibrium,
                           r.CvEquilibrium,
                           r.CvFrozen,
                           r.kFrozen,
                           r.aFrozen,
                           r.lambdaFrozen,
                           r.lambdaReacting,
                           r.viscosity,
                           st.condensedVolume,
                           double(st.chamberP),
                           double(st.chamberH),
                           st.chamberS,
                           st.chamberT,
                           st.chamberU,
                           st.freezeP,
                           st.freezeV,
                           double(st.throatAreaPerFlow),
                           double(st.throatP),
                           double(st.throatK)};
  for (double v : values)
    if (!std::isfinite(v)) return false;
  for (int k = 1; k <= speciesCount && k <= kMaxRunSpecies; ++k)
    if (!std::isfinite(ws.species.n[k]) || !std::isfinite(double(ws.species.nSingle[k])))
      return false;
  return true;
}

void WritePointReport(const RunReport& report, int elementCount, int speciesCount, float value1,
                      int code1, float value2, int code2) {
  if (!PointResultsRepresentable(report.ws, speciesCount)) {
    report.file.Line(Spaces(5) + kPointNotRepresentable);
    report.file.Line(std::string(kRuleWidth, '_'));
    report.file.Line();
    report.file.Flush();
    return;
  }
  PointWriter(report, elementCount, speciesCount).Write(value1, code1, value2, code2);
}

}  // namespace kvil
