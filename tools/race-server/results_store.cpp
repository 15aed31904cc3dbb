#include "results_store.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace volantis::race_server {

namespace {

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (unsigned char ch : text) {
    switch (ch) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (ch < 0x20 || ch >= 0x7F) {
          char escaped[8];
          std::snprintf(escaped, sizeof(escaped), "\\u%04x", ch);
          out += escaped;
        } else {
          out += static_cast<char>(ch);
        }
    }
  }
  return out + "\"";
}

std::string JsonNumber(double value) {
  char text[64];
  std::snprintf(text, sizeof(text), "%.6f", value);
  return text;
}

// "1.5,2" -> "[1.500000,2.000000]" (or "[1,2]" for whole numbers), keeping only
// what reads as numbers.
std::string JsonList(const std::string& list, bool whole_numbers) {
  std::string out = "[";
  std::stringstream stream(list);
  std::string item;
  bool first = true;
  while (std::getline(stream, item, ',')) {
    char* end = nullptr;
    double value = std::strtod(item.c_str(), &end);
    if (item.empty() || *end != '\0') continue;
    if (!first) out += ',';
    if (whole_numbers) {
      char text[32];
      std::snprintf(text, sizeof(text), "%.0f", value);
      out += text;
    } else {
      out += JsonNumber(value);
    }
    first = false;
  }
  return out + "]";
}

std::string Duration(double seconds) {
  int minutes = static_cast<int>(seconds / 60);
  char text[64];
  std::snprintf(text, sizeof(text), "%dmin %.3fsec", minutes, seconds - minutes * 60.0);
  return text;
}

}  // namespace

std::string ToJsonLine(const ResultRecord& r) {
  std::ostringstream out;
  out << "{\"received_at\":" << JsonString(r.received_at) << ",\"player\":" << JsonString(r.player)
      << ",\"version\":" << JsonString(r.version) << ",\"lap_times\":" << JsonList(r.lap_times, false)
      << ",\"lap_skips\":" << JsonList(r.lap_skips, true) << ",\"race_time\":" << JsonNumber(r.race_time)
      << ",\"finish_secs\":" << JsonNumber(r.finish_secs) << ",\"sync_delay\":" << JsonNumber(r.sync_delay)
      << ",\"moved_too_fast\":" << r.moved_too_fast << ",\"cheated_crash_detect\":" << r.cheated_crash_detect
      << ",\"slewed\":" << r.slewed << ",\"cheated_sim_rate\":" << r.cheated_sim_rate << "}";
  return out.str();
}

std::string EscapeHtml(const std::string& text) {
  std::string out;
  for (char ch : text) {
    switch (ch) {
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '&':
        out += "&amp;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out += ch;
    }
  }
  return out;
}

bool ResultsStore::Add(const ResultRecord& submitted) {
  std::lock_guard<std::mutex> guard(lock_);
  ResultRecord record = submitted;
  for (const ResultRecord& earlier : records_) {
    if (earlier.player == record.player && earlier.finish_secs == record.finish_secs &&
        earlier.lap_times == record.lap_times) {
      record.repeat = true;
    }
  }
  records_.push_back(record);
  if (path_.empty()) return true;
  std::ofstream out(path_, std::ios::app);
  out << ToJsonLine(record) << '\n';
  return static_cast<bool>(out);
}

std::vector<ResultRecord> ResultsStore::All() {
  std::lock_guard<std::mutex> guard(lock_);
  return records_;
}

std::string ResultsStore::HtmlPage() {
  std::vector<ResultRecord> records = All();
  std::ostringstream page;
  page << "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Race results</title>\n"
          "<style>body{font-family:sans-serif}table{border-collapse:collapse}"
          "td,th{border:1px solid #999;padding:2px 8px;text-align:right}td.l,th.l{text-align:left}</style>\n"
          "</head><body>\n<h1>Race results</h1>\n";
  if (records.empty()) {
    page << "<p>No results yet.</p>\n";
  } else {
    page << "<table>\n<tr><th>#</th><th class=\"l\">Player</th><th>Race time</th><th class=\"l\">Lap times (s)</th>"
            "<th class=\"l\">Skipped gates per lap</th><th>Finish (server clock, s)</th><th>Sync delay (ms)</th>"
            "<th class=\"l\">Flags</th><th class=\"l\">Received</th></tr>\n";
    int row = 0;
    for (const ResultRecord& r : records) {
      std::string flags;
      if (r.moved_too_fast) flags += "too fast ";
      if (r.cheated_crash_detect) flags += "crash detection off ";
      if (r.slewed) flags += "slewed ";
      if (r.cheated_sim_rate) flags += "sim rate ";
      if (flags.empty()) flags = "none";
      if (r.repeat) flags += " repeat";
      char numbers[128];
      std::snprintf(numbers, sizeof(numbers), "<td>%.3f</td><td>%.1f</td>", r.finish_secs, r.sync_delay);
      page << "<tr><td>" << ++row << "</td><td class=\"l\">" << EscapeHtml(r.player) << "</td><td>"
           << Duration(r.race_time) << "</td><td class=\"l\">" << EscapeHtml(r.lap_times) << "</td><td class=\"l\">"
           << EscapeHtml(r.lap_skips) << "</td>" << numbers << "<td class=\"l\">" << EscapeHtml(flags)
           << "</td><td class=\"l\">" << EscapeHtml(r.received_at) << "</td></tr>\n";
    }
    page << "</table>\n";
  }
  page << "</body></html>\n";
  return page.str();
}

}  // namespace volantis::race_server
