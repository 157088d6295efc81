#include "PermissionGuideView.h"

#include "GeekFonts.h"
#include "GeekTheme.h"
#include "GeekWidgets.h"
#include "Painting.h"
#include "PushButton.h"
#include "Symbols.h"
#include "Workspace.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

namespace rubbly {

namespace {

// A symbol drawn in a fixed colour next to text, as a label with an icon.
class SymbolLabel final : public QWidget {
public:
    // `height` is the line it stands beside, so the symbol centres on the text's first line.
    SymbolLabel(const QString& symbol, qreal size, Tint color, qreal height = 0, QWidget* parent = nullptr)
        : QWidget(parent)
        , m_symbol(symbol)
        , m_size(size)
        , m_color(color)
    {
        setFixedSize(static_cast<int>(std::ceil(size)), static_cast<int>(std::ceil(std::max(size, height))));
    }
    void set(const QString& symbol, Tint color)
    {
        m_symbol = symbol;
        m_color = color;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        paintSymbol(painter, QRectF(rect()), m_symbol, m_size, m_color.resolve(this));
    }

private:
    QString m_symbol;
    qreal m_size;
    Tint m_color;
};

GeekText* secondaryText(const QString& text, qreal size)
{
    auto* label = new GeekText(text, uiFont(size), Tint::secondary());
    label->setWordWrap(true);
    return label;
}

} // namespace

PermissionGuideView::PermissionGuideView(Workspace& workspace, std::function<void()> onRefresh, QWidget* parent)
    : QWidget(parent)
    , m_steps(new QWidget)
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(14, 14, 14, 14);
    column->setSpacing(12);

    auto* title = new QHBoxLayout;
    title->setSpacing(8);
    auto* shield = new SymbolLabel(QStringLiteral("lock.shield.fill"), 20, Tint::warning());
    title->addWidget(shield);
    auto* heading = new GeekText(QCoreApplication::translate("Permissions", "Trash access needed"),
                                 uiFont(13, Weight::Semibold), Tint::primary());
    heading->setWordWrap(true);
    title->addWidget(heading, 1);
    column->addLayout(title);

    auto* problem = new QVBoxLayout;
    problem->setSpacing(4);
    GeekText* sentence = secondaryText(QString(), 11);
    problem->addWidget(sentence);
    auto* command = new GeekText(QString(), monoFont(10), Tint::primary());
    command->setWordWrap(true);
    problem->addWidget(command);
    column->addLayout(problem);

    auto* steps = new QVBoxLayout(m_steps);
    steps->setContentsMargins(0, 0, 0, 0);
    steps->setSpacing(4);
    const std::pair<const char*, QString> items[] = {
        {"1.circle.fill", QCoreApplication::translate("Permissions", "1. Click “Copy command” below")},
        {"2.circle.fill", QCoreApplication::translate("Permissions", "2. Paste it into a terminal and run it")},
        {"3.circle.fill", QCoreApplication::translate("Permissions", "3. Come back and click “Recheck”")},
    };
    for (const auto& [symbol, text] : items) {
        auto* step = new QHBoxLayout;
        step->setSpacing(6);
        step->addWidget(
            new SymbolLabel(QString::fromLatin1(symbol), 13, Tint::secondary(), QFontMetricsF(uiFont(11)).height()), 0,
            Qt::AlignTop);
        step->addWidget(secondaryText(text, 11), 1);
        steps->addLayout(step);
    }
    column->addWidget(m_steps);

    m_report = new TrashAccessReport(workspace, sentence, command, this);
    // A recheck may find nothing wrong: then the guide says so under a green mark, not under the warning.
    connect(m_report, &TrashAccessReport::checked, this, [this, shield, heading] {
        const bool problem = m_report->problem().has_value();
        m_steps->setVisible(problem);
        m_allWell = !problem;
        shield->set(problem ? QStringLiteral("lock.shield.fill") : QStringLiteral("checkmark.circle.fill"),
                    problem ? Tint::warning() : Tint::accent(6));
        heading->setText(problem ? QCoreApplication::translate("Permissions", "Trash access needed")
                                 : QCoreApplication::translate("Permissions", "Trash access is fine"));
        update();
    });
    // After the report's own check: the panel rescans too.
    if (onRefresh)
        connect(m_report->recheckButton(), &QAbstractButton::clicked, this, std::move(onRefresh));
    m_report->buttonRow()->setContentsMargins(0, 2, 0, 0);
    column->addLayout(m_report->buttonRow());
}

void PermissionGuideView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    m_report->check();
}

void PermissionGuideView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QColor outline = (m_allWell ? Tint::border() : Tint::warning()).resolve(this);
    outline.setAlphaF(0.2f);
    // The platform's control background: the palette's base colour.
    paintCard(painter, QRectF(rect()), 14, palette().color(QPalette::Base), outline, 0.5);
}

} // namespace rubbly
