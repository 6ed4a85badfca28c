#include "core/point_log.h"

#include <charconv>
#include <cstdio>
#include <map>

#include "core/session.h"
#include "results/rocket_figures.h"
#include "task/elements.h"
#include "task/task.h"

namespace kvil {

std::string MessageLine(MessageKind kind, const std::string& text) {
  std::string line = std::string(MessageKindName(kind)) + ": ";
  for (char c : text) line += (c == '\n' || c == '\r') ? ' ' : c;
  return line;
}

Answer PointLog::Message(MessageKind kind, const std::string& text, Buttons buttons) {
  if (!pending_.empty()) pending_ += '\n';
  pending_ += MessageLine(kind, text);
  if (!pendingTexts_.empty()) pendingTexts_ += '\n';
  pendingTexts_ += text;
  return shown_.Message(kind, text, buttons);
}

void PointLog::ChamberPointDone(const Session& session, const PointDone& point) {
  LoggedPoint p;
  p.point = point;
  p.templateMode = session.ws.state.templateMode;
  p.firstRecord = records_;
  p.messages = pending_;
  p.texts = pendingTexts_;
  pending_.clear();
  pendingTexts_.clear();
  records_ += point.records;
  points_.push_back(std::move(p));
}

void PointLog::HeatOfCombustion(const Session&, double q) {
  if (points_.empty()) return;
  points_.back().hasHeatOfCombustion = true;
  points_.back().heatOfCombustion = q;
}

namespace {

// JSON text of a string.
void AppendJsonString(std::string& out, const std::string& text) {
  out += '"';
  for (unsigned char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += char(c);
        }
    }
  }
  out += '"';
}

// A number with 17 significant digits, as the CSV writes it (records hold finite
// numbers only; anything else is written as null).
void AppendJsonNumber(std::string& out, double v) {
  char buf[40];
  const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 17);
  if (r.ec != std::errc() || !(v == v) || v - v != 0) {
    out += "null";
    return;
  }
  out.append(buf, r.ptr - buf);
}

class Object {
 public:
  explicit Object(std::string& out) : out_(out) { out_ += '{'; }
  void Key(const std::string& key) {
    if (!first_) out_ += ", ";
    first_ = false;
    AppendJsonString(out_, key);
    out_ += ": ";
  }
  void Number(const std::string& key, double v) {
    Key(key);
    AppendJsonNumber(out_, v);
  }
  void String(const std::string& key, const std::string& v) {
    Key(key);
    AppendJsonString(out_, v);
  }
  void Close() { out_ += '}'; }

 private:
  std::string& out_;
  bool first_ = true;
};

const char* KindName(int kind) {
  switch (kind) {
    case 1: return "throat";
    case 2: return "expansion";
    default: return "point";
  }
}

const char* TemplateName(int mode) {
  switch (mode) {
    case 1: return "impulse";
    case 2: return "powder force";
    case 3: return "heat of combustion";
    case 4: return "detonation";
    default: return "";
  }
}

}  // namespace

std::string PointLogJson(const PointLog& log, const std::vector<ResultsRecord>& records,
                         const std::vector<std::pair<int, std::string>>& speciesNames,
                         double ambientP) {
  const std::map<int, std::string> names(speciesNames.begin(), speciesNames.end());
  const RecordOwners owners = FindRecordOwners(records);
  std::string out;
  int number = 0;
  for (const LoggedPoint& lp : log.points()) {
    ++number;
    const PointDone& pd = lp.point;
    const int count = pd.records > 0 ? pd.records : 1;
    for (int k = 0; k < count; ++k) {
      const long long row = lp.firstRecord + k;
      const bool have = pd.records > 0 && row < (long long)(records.size());
      const ResultsRecord* rec = have ? &records[std::size_t(row)] : nullptr;
      Object o(out);
      o.Number("point", number);
      o.Number("variant", pd.componentVariant);
      if (lp.templateMode != 0) o.String("template", TemplateName(lp.templateMode));
      o.String("kind", KindName(rec ? rec->kind : 0));
      o.String("status", rec && (k > 0 || pd.written) ? "ok" : "failed");
      o.String("message", lp.messages);
      o.Key("assigned");
      {
        Object a(out);
        for (int n = 0; n < 2; ++n) {
          const int code = n == 0 ? pd.c1 : pd.c2;
          const double v = n == 0 ? pd.value1 : pd.value2;
          if (code >= kParamP && code <= kParamU) a.Number(kResultsParameterNames[code - 1], v);
        }
        a.Close();
      }
      if (rec) {
        o.Number("row", double(row + 1));
        o.Key("state");
        {
          Object st(out);
          for (int i = 0; i < kResultsParameterCount && i < int(rec->parameters.size()); ++i)
            st.Number(kResultsParameterNames[i], rec->parameters[i]);
          st.Close();
        }
        o.Key("elements");
        {
          Object el(out);
          for (const auto& e : rec->elements) {
            const bool known = e.first >= 1 && e.first <= kElementTableSize;
            el.Number(std::string("[") +
                          (known ? ElementSymbol(e.first) : std::to_string(e.first)) + "]",
                      e.second);
          }
          el.Close();
        }
        o.Key("components");
        {
          Object c(out);
          for (const auto& cp : rec->components)
            c.Number("component " + std::to_string(cp.second), cp.first);
          c.Close();
        }
        o.Key("composition");
        {
          Object c(out);
          for (const auto& sp : rec->species) {
            auto it = names.find(sp.first);
            c.Number(it != names.end() ? it->second : "#" + std::to_string(sp.first), sp.second);
          }
          c.Close();
        }
        if (!rec->extension.empty()) {
          o.Key("detonation");
          Object d(out);
          for (const auto& [code, value] : rec->extension)
            if (code >= 1 && code <= kResultsExtensionCount)
              d.Number(kResultsExtensionNames[code - 1], value);
          d.Close();
        }
        if (rec->kind != 0) {
          const std::size_t i = std::size_t(row);
          const ResultsRecord* chamber =
              owners.chamber[i] >= 0 ? &records[std::size_t(owners.chamber[i])] : nullptr;
          const ResultsRecord* throat =
              owners.throat[i] >= 0 ? &records[std::size_t(owners.throat[i])] : nullptr;
          const RocketFigures f = ExpansionFigures(*rec, chamber, throat, ambientP);
          o.Key("rocket");
          Object r(out);
          r.Number("Wa, m/s", f.flowVelocity);
          r.Number("Isp vacuum, m/s", f.impulseVacuum);
          r.Number("Isp, m/s", f.impulseAmbient);
          r.Number("c*, m/s", f.characteristicVelocity);
          r.Number("Cf", f.thrustCoefficient);
          r.Number("area ratio", f.areaRatio);
          r.Number("Mach", f.machNumber);
          r.Close();
        }
      }
      if (lp.hasHeatOfCombustion && k == count - 1)
        o.Number("heat of combustion, kJ/kg", lp.heatOfCombustion);
      o.Close();
      out += '\n';
    }
  }
  return out;
}

}  // namespace kvil
