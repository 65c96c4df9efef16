#include "cli/options.h"

#include <QCommandLineParser>
#include <charconv>

namespace qz::cli {

namespace {

QString q(std::string_view s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

std::string str(const QString& s) {
  return s.toStdString();
}

// Arguments are the system's bytes, and a file name need not be UTF-8. Such a piece goes
// through the parser as a token from the private-use area and comes back as its bytes.
constexpr char16_t kTokenMark = 0xE000;

class Bytes {
 public:
  QString in(std::string_view s) {
    const QString text = q(s);
    if (text.toUtf8() == QByteArray(s.data(), static_cast<qsizetype>(s.size()))) return text;
    pieces_.emplace_back(s);
    return QString(QChar(kTokenMark)) + QString::number(pieces_.size() - 1);
  }
  std::string out(const QString& s) const {
    if (s.startsWith(QChar(kTokenMark))) {
      bool ok = false;
      const auto i = static_cast<std::size_t>(s.mid(1).toULongLong(&ok));
      if (ok && i < pieces_.size()) return pieces_[i];
    }
    return s.toStdString();
  }

 private:
  std::vector<std::string> pieces_;
};

}  // namespace

std::string written(std::string_view name) {
  return (name.size() == 1 ? "-" : "--") + std::string(name);
}

std::optional<int> number(std::string_view text, int low, int high, int base) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < low ||
      value > high) {
    return std::nullopt;
  }
  return value;
}

Parsed parse(std::span<const Option> table, std::span<const std::string_view> args) {
  QCommandLineParser parser;
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
  std::vector<QCommandLineOption> options;
  for (const Option& o : table) {
    QStringList names;
    for (const std::string& n : o.names) names << q(n);
    options.emplace_back(names, QString(), q(o.value));
    parser.addOption(options.back());
  }
  auto find = [&](const QString& name) -> std::optional<std::size_t> {
    for (std::size_t i = 0; i < table.size(); ++i) {
      for (const std::string& n : table[i].names) {
        if (q(n) == name) return i;
      }
    }
    return std::nullopt;
  };

  QStringList list{QStringLiteral("program")};
  Bytes bytes;
  bool optionsDone = false;
  for (const std::string_view a : args) {
    const std::size_t eq = a.find('=');
    QString arg = !optionsDone && a.starts_with("--") && eq != std::string_view::npos
                      ? q(a.substr(0, eq + 1)) + bytes.in(a.substr(eq + 1))
                      : bytes.in(a);
    optionsDone = optionsDone || a == "--";
    // An option whose value may be left out is given one, empty, when it is.
    if (!optionsDone && a.starts_with("--")) {
      if (const auto i = find(arg.mid(2)); i && table[*i].valueOptional) arg += '=';
    }
    list << arg;
  }

  Parsed result;
  const bool ok = parser.parse(list);
  if (!parser.unknownOptionNames().isEmpty()) {
    result.problem = Problem::UnknownOption;
    const QString name = parser.unknownOptionNames().front();
    result.option = written(str(name));
    // A long option keeps its two dashes even when it is one letter long.
    for (const std::string_view a : args) {
      if (a == "--" + str(name) || a.starts_with("--" + str(name) + "=")) {
        result.option = "--" + str(name);
      }
    }
    return result;
  }
  if (!ok) {
    // "Missing value after '--port'." or "Unexpected value after '--json'.": the option is
    // the one in quotes, and whether it takes a value tells which of the two it is.
    const QString text = parser.errorText();
    const qsizetype open = text.indexOf('\'');
    const qsizetype close = text.lastIndexOf('\'');
    result.option = str(text.mid(open + 1, close - open - 1));
    QString bare = q(result.option);
    while (bare.startsWith('-')) bare.remove(0, 1);
    const auto i = find(bare);
    result.problem =
        i && table[*i].value.empty() ? Problem::UnexpectedValue : Problem::MissingValue;
    return result;
  }
  std::vector<qsizetype> taken(table.size(), 0);
  for (const QString& name : parser.optionNames()) {
    const auto i = find(name);
    if (!i) continue;
    Given g{*i, written(str(name)), {}};
    if (!table[*i].value.empty()) {
      const QStringList values = parser.values(options[*i]);
      g.value = bytes.out(values.value(taken[*i]++));
    }
    result.options.push_back(std::move(g));
  }
  for (const QString& w : parser.positionalArguments()) result.words.push_back(bytes.out(w));
  return result;
}

}  // namespace qz::cli
