#pragma once

// What the tables of the documents' tests share: database records written in a line,
// commands as text, row adjustments that add up, texts with unknown pieces.
#include <QRegularExpression>
#include <QSqlField>
#include <QSqlRecord>
#include <functional>
#include <type_traits>

// Field names and values in turn.
inline QVariantMap Campos(const QVariantList& pares)
{
    QVariantMap m;
    for (qsizetype i = 0; i + 1 < pares.size(); i += 2)
        m[pares[i].toString()] = pares[i + 1];
    return m;
}

// A record of the database; a QVariant() value is Null.
inline QSqlRecord Registro(const QVariantMap& campos)
{
    QSqlRecord r;
    for (auto c = campos.cbegin(); c != campos.cend(); ++c) {
        QSqlField f(c.key(), c->isValid() ? c->metaType() : QMetaType::fromType<int>());
        f.setValue(*c);
        r.append(f);
    }
    return r;
}

// A command as text: FS as '|', the empty (DEL) fields left out.
inline QString Legible(QByteArray comando)
{
    return QString::fromLatin1(comando.replace("\x1c\x7f", "").replace('\x1c', '|'));
}

template <class T>
std::function<void(T&)> operator+(const std::function<void(T&)>& a,
                                  const std::type_identity_t<std::function<void(T&)>>& b)
{
    return [=](T& x) {
        a(x);
        b(x);
    };
}

// `patron` whole, where "…" stands for any text (a database driver's error).
inline bool Calza(const QString& texto, const QString& patron)
{
    const QString r = QRegularExpression::escape(patron).replace("\\…", ".*");
    return QRegularExpression(QRegularExpression::anchoredPattern(r),
                              QRegularExpression::DotMatchesEverythingOption)
        .match(texto)
        .hasMatch();
}
