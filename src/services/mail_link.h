#pragma once

#include <QString>
#include <QUrl>

// Where problem reports, questions and logs go.
inline constexpr char kSupportAddress[] = "support@wrenmoor.example";

// text percent-escaped as UTF-8 for a mail link, with "&" as "%26" so that a subject or body
// holding one is not cut short by the mail program.
QString MailEscape(const QString &text);

// A mail link to the maker: "mailto:<address>?subject=<subject>&body=<body>", both escaped.
QUrl MailLink(const QString &subject, const QString &body);

// The mail to the maker: "Problem report" or "Question or comment" about product ("Tobbin
// Jigsaw 1.0.0"), with a first line naming the product and the system.
QUrl ContactLink(bool problem, const QString &product, const QString &systemName);

// The collected logs as a mail to the maker, subject "Logs for <product>".
QUrl LogsMailLink(const QString &product, const QString &logs);
