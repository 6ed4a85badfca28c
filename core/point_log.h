// The points of a run with the messages shown while each was calculated.
//
// PointLog stands between the engine and the Interaction that shows its messages: it
// passes every call on and keeps the messages of the point being calculated, and as the
// run's RunObserver it files each chamber point with them, whether the point
// succeeded or failed.  kvil-batch's point list (--json) and the sweeps of the Python
// package are made from it together with the records of the results table: a point's
// records are `records` records from `firstRecord` on, in table order.
#pragma once

#include <string>
#include <vector>

#include "common/interaction.h"
#include "core/run.h"
#include "results/table_file.h"

namespace kvil {

struct LoggedPoint {
  PointDone point;
  int templateMode = 0;   // 0 the task's own equilibrium, 1 impulse, 2 powder force, 3 heat
  long long firstRecord = 0;  // index of its first record in the run's results table
  // Messages shown during the point (and, for the first point, before it), each in the
  // one-line form "<kind>: <text>", separated by line breaks.
  std::string messages;
  std::string texts;  // the same messages as the program shows them, separated by line breaks
  bool hasHeatOfCombustion = false;
  double heatOfCombustion = 0;  // kJ/kg, on the last point of the heat-of-combustion template
};

class PointLog : public Interaction, public RunObserver {
 public:
  explicit PointLog(Interaction& shown) : shown_(shown) {}

  // Interaction: passed on; messages are noted for the point being calculated.
  Answer Message(MessageKind kind, const std::string& text, Buttons buttons) override;
  void ShowProgress(bool visible) override { shown_.ShowProgress(visible); }
  void SetProgressLabels(const ProgressLabels& labels) override {
    shown_.SetProgressLabels(labels);
  }
  bool ShowsProgressLabels() const override { return shown_.ShowsProgressLabels(); }
  void SetProgressPosition(int position) override { shown_.SetProgressPosition(position); }
  void ProcessPendingInput() override { shown_.ProcessPendingInput(); }

  // RunObserver.
  void ChamberPointDone(const Session& session, const PointDone& point) override;
  void HeatOfCombustion(const Session& session, double q) override;

  const std::vector<LoggedPoint>& points() const { return points_; }
  // Messages shown since the last point was filed (a refusal of the whole run).
  const std::string& pendingMessages() const { return pending_; }
  const std::string& pendingTexts() const { return pendingTexts_; }
  void Clear() {
    points_.clear();
    pending_.clear();
    pendingTexts_.clear();
    records_ = 0;
  }

 private:
  Interaction& shown_;
  std::vector<LoggedPoint> points_;
  std::string pending_;
  std::string pendingTexts_;
  long long records_ = 0;  // records filed so far
};

// The one-line form of a message: "<kind>: <text>" with line breaks as blanks.
std::string MessageLine(MessageKind kind, const std::string& text);

// kvil-batch's point list: one JSON object a line (LF) for every record of the table
// and for every chamber point that wrote none, in run order.  Keys: "point" (number of
// the chamber point in the run, from 1), "variant", "template" (only in template runs:
// "impulse", "powder force", "heat of combustion", "detonation"), "kind" ("point", "throat",
// "expansion"), "status" ("ok", "failed"), "message", "assigned" (the two assigned
// values of the chamber point, or of the expansion point, by the CSV's parameter
// names), "row" (the record's row in the CSV, from 1; absent for a failed point),
// "state" (the 23 parameters), "elements", "components", "composition" (mol/kg by
// species name), "rocket" (expansion and throat points: figures of RocketFigures),
// "heat of combustion, kJ/kg".  Numbers have 17 significant digits, as in the CSV.
// `speciesNames` maps database record numbers to display names, as for the CSV.
std::string PointLogJson(const PointLog& log, const std::vector<ResultsRecord>& records,
                         const std::vector<std::pair<int, std::string>>& speciesNames,
                         double ambientP);

}  // namespace kvil
