#include "app/clientrequest.h"

#include "codecs/commandtext.h"

#include <QRegularExpression>

namespace {

struct TOperationName {
  const char *option;
  TIpcOperation operation;
};

constexpr TOperationName kOperations[] = {
    {"--send", TIpcOperation::Send},
    {"--receive", TIpcOperation::Receive},
};

// The operation an argument names ("--send", "--send=41"), with the value
// written into it; nothing for any other argument.
std::optional<TIpcOperation> OperationOf(const QString &argument, std::optional<QString> &value) {
  for (const TOperationName &name : kOperations) {
    const QString option = QLatin1String(name.option);
    if (argument == option) {
      value.reset();
      return name.operation;
    }
    if (argument.startsWith(option + u'=')) {
      value = argument.mid(option.size() + 1);
      return name.operation;
    }
  }
  return std::nullopt;
}

QString OptionName(TIpcOperation operation) {
  return operation == TIpcOperation::Send ? QStringLiteral("--send") : QStringLiteral("--receive");
}

bool Fail(QString *error, const QString &text) {
  if (error)
    *error = text;
  return false;
}

// Appends the bytes of one argument: pairs of hexadecimal digits, in groups
// a blank may separate.
bool AppendHex(const QString &argument, QByteArray &bytes, QString *error) {
  static const QRegularExpression kBlanks(QStringLiteral("\\s+"));
  const QStringList groups = argument.split(kBlanks, Qt::SkipEmptyParts);
  if (groups.isEmpty())
    return Fail(error, QStringLiteral("an empty argument holds no bytes"));
  for (const QString &group : groups) {
    QByteArray part;
    if (!HexPairsToBin(group, part))
      return Fail(error,
                  QStringLiteral("\"%1\" is not a sequence of hexadecimal digit pairs").arg(group));
    bytes += part;
  }
  return true;
}

} // namespace

bool NamesClientOperation(const QStringList &arguments) {
  std::optional<QString> value;
  for (qsizetype i = 1; i < arguments.size(); ++i)
    if (OperationOf(arguments[i], value))
      return true;
  return false;
}

std::optional<TClientRequest> ParseClientArguments(const QStringList &arguments, QString *error) {
  TClientRequest request;
  std::optional<TIpcOperation> operation;
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    const QString &argument = arguments[i];
    std::optional<QString> value;
    if (const std::optional<TIpcOperation> named = OperationOf(argument, value)) {
      if (operation && *operation != *named) {
        Fail(error, QStringLiteral("--send and --receive cannot be given together"));
        return std::nullopt;
      }
      operation = named;
      if (!value) {
        if (i + 1 >= arguments.size()) {
          Fail(error, QStringLiteral("%1 needs hexadecimal bytes").arg(OptionName(*named)));
          return std::nullopt;
        }
        value = arguments[++i];
      }
      if (!AppendHex(*value, request.bytes, error))
        return std::nullopt;
      continue;
    }
    if (argument == QLatin1String("--id") || argument.startsWith(QLatin1String("--id="))) {
      const bool inside = argument.size() > 4;
      if (!request.id.isNull()) {
        Fail(error, QStringLiteral("--id can be given once"));
        return std::nullopt;
      }
      if (!inside && i + 1 >= arguments.size()) {
        Fail(error, QStringLiteral("--id needs a text"));
        return std::nullopt;
      }
      request.id = inside ? argument.mid(5) : arguments[++i];
      if (request.id.isEmpty()) {
        Fail(error, QStringLiteral("--id needs a text"));
        return std::nullopt;
      }
      continue;
    }
    if (argument.startsWith(u'-')) {
      Fail(error, QStringLiteral("unknown option \"%1\" with --send or --receive").arg(argument));
      return std::nullopt;
    }
    if (!operation) {
      Fail(error,
           QStringLiteral("unexpected argument \"%1\" before --send or --receive").arg(argument));
      return std::nullopt;
    }
    if (!AppendHex(argument, request.bytes, error))
      return std::nullopt;
  }
  if (!operation) {
    Fail(error, QStringLiteral("give --send HEX or --receive HEX"));
    return std::nullopt;
  }
  request.operation = *operation;
  return request;
}
