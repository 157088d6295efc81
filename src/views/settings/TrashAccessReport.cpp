#include "TrashAccessReport.h"

#include "GeekWidgets.h"
#include "PushButton.h"
#include "TrashFailureText.h"
#include "Workspace.h"

#include <QCoreApplication>
#include <QHBoxLayout>

namespace rubbly {

namespace {

// "0300": the modes as chmod takes them.
QString octal(mode_t mode)
{
    return QStringLiteral("%1").arg(mode & 07777, 4, 8, QLatin1Char('0'));
}

// `text` with a word joiner between any two characters: a line may not break inside it.
QString unbroken(const QString& text)
{
    QString joined;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (i > 0 && !text.at(i).isLowSurrogate())
            joined.append(QChar(0x2060));
        joined.append(text.at(i));
    }
    return joined;
}

} // namespace

TrashAccessText trashAccessText(const std::optional<TrashAccessProblem>& problem, const QByteArray& home)
{
    if (!problem)
        return {QCoreApplication::translate("Permissions", "Every trash folder can be read and emptied."), {}};
    // The path stays on one line where it can: word joiners between its characters forbid the breaks
    // that its slashes and dots would otherwise offer.
    const QString path = unbroken(displayPath(problem->path, home));
    QString sentence;
    switch (problem->kind) {
    case TrashAccessProblem::Kind::Missing:
        sentence =
            QCoreApplication::translate("Permissions", "The trash folder “%1” does not exist and could not be made.")
                .arg(path);
        break;
    case TrashAccessProblem::Kind::NotAFolder:
        sentence = QCoreApplication::translate("Permissions",
                                               "“%1” is not a folder. Move it out of the way, then check again.")
                       .arg(path);
        break;
    case TrashAccessProblem::Kind::Link:
        sentence = QCoreApplication::translate(
                       "Permissions", "“%1” is a symbolic link, and Rubbly never follows a link into a trash folder. "
                                      "Move the link aside and make a real folder in its place; what it leads to "
                                      "stays where it is.")
                       .arg(path);
        break;
    case TrashAccessProblem::Kind::Unusable:
        sentence = QCoreApplication::translate("Permissions", "“%1” cannot be used: %2.")
                       .arg(path, trashFolderRefusal(problem->refusal, home));
        break;
    case TrashAccessProblem::Kind::NotOwned:
        sentence = QCoreApplication::translate("Permissions",
                                               "“%1” is owned by %2, not by you, so Rubbly cannot read or empty it.")
                       .arg(path, problem->ownerName());
        break;
    case TrashAccessProblem::Kind::NotReadable:
        sentence = QCoreApplication::translate(
                       "Permissions",
                       "Your permissions on “%1” (%2) do not let you read it, so Rubbly cannot see what it holds.")
                       .arg(path, octal(problem->mode));
        break;
    case TrashAccessProblem::Kind::NotWritable:
        sentence = QCoreApplication::translate(
                       "Permissions",
                       "Your permissions on “%1” (%2) do not let you change it, so Rubbly cannot delete what it holds.")
                       .arg(path, octal(problem->mode));
        break;
    }
    return {sentence, repairCommand(*problem, home)};
}

TrashAccessReport::TrashAccessReport(Workspace& workspace, GeekText* sentence, GeekText* command, QObject* parent)
    : QObject(parent)
    , m_workspace(workspace)
    , m_sentence(sentence)
    , m_command(command)
    , m_buttons(new QHBoxLayout)
    , m_copy(new PushButton(QCoreApplication::translate("Permissions", "Copy command"), PushButton::Style::Prominent))
    , m_open(new PushButton(QCoreApplication::translate("Permissions", "Open folder"), PushButton::Style::Bordered))
    , m_recheck(new PushButton(QCoreApplication::translate("Permissions", "Recheck"), PushButton::Style::Bordered))
{
    m_buttons->setSpacing(8);
    m_buttons->addWidget(m_copy);
    m_buttons->addWidget(m_open);
    m_buttons->addWidget(m_recheck);
    m_buttons->addStretch();
    connect(m_recheck, &QAbstractButton::clicked, this, &TrashAccessReport::check);
    connect(m_copy, &QAbstractButton::clicked, this, [this] { m_workspace.copyText(m_command->text()); });
    connect(m_open, &QAbstractButton::clicked, this, [this] {
        if (m_problem)
            m_workspace.openFolder(m_problem->trashPath);
    });
}

void TrashAccessReport::check()
{
    m_problem = m_workspace.checkTrashAccess();
    const TrashAccessText text = trashAccessText(m_problem, m_workspace.homeFolder());
    m_sentence->setText(text.sentence);
    m_command->setText(text.command);
    m_command->setVisible(!text.command.isEmpty());
    m_copy->setVisible(!text.command.isEmpty());
    m_copy->setToolTip(text.command);
    m_open->setVisible(m_problem.has_value());
    Q_EMIT checked();
}

} // namespace rubbly
