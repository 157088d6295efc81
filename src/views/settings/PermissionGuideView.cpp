#include "PermissionGuideView.h"

#include "GeekFonts.h"
#include "GeekWidgets.h"
#include "Painting.h"
#include "PushButton.h"
#include "Symbols.h"
#include "Workspace.h"

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

QColor systemOrange()
{
    return QColor(255, 149, 0);
}

PermissionGuideView::PermissionGuideView(Workspace& workspace, std::function<void()> onRefresh, QWidget* parent)
    : QWidget(parent)
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(14, 14, 14, 14);
    column->setSpacing(12);

    auto* title = new QHBoxLayout;
    title->setSpacing(8);
    title->addWidget(new SymbolLabel(QStringLiteral("lock.shield.fill"), 20, Tint::fixed(systemOrange())));
    title->addWidget(
        new GeekText(QStringLiteral("需要完全磁盘访问权限"), uiFont(13, Weight::Semibold), Tint::primary()));
    title->addStretch();
    column->addLayout(title);

    column->addWidget(
        secondaryText(QStringLiteral("macOS 安全机制要求 Rubbly 获得完全磁盘访问权限，方可读取与清空废纸篓。"), 11));

    auto* steps = new QVBoxLayout;
    steps->setSpacing(4);
    const std::pair<const char*, QString> items[] = {
        {"1.circle.fill", QStringLiteral("1. 点击下方「打开系统设置」")},
        {"2.circle.fill", QStringLiteral("2. 在列表中开启 Rubbly 开关")},
        {"3.circle.fill", QStringLiteral("3. 返回此处点击「重新检查」")},
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
    column->addLayout(steps);

    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(0, 2, 0, 0);
    buttons->setSpacing(8);
    auto* open = new PushButton(QStringLiteral("打开系统设置"), PushButton::Style::Prominent);
    auto* recheck = new PushButton(QStringLiteral("重新检查"), PushButton::Style::Bordered);
    connect(open, &QAbstractButton::clicked, this, [&workspace] { workspace.openFullDiskAccessSettings(); });
    connect(recheck, &QAbstractButton::clicked, this, [onRefresh = std::move(onRefresh)] {
        if (onRefresh)
            onRefresh();
    });
    buttons->addWidget(open);
    buttons->addWidget(recheck);
    buttons->addStretch();
    column->addLayout(buttons);
}

void PermissionGuideView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QColor outline = systemOrange();
    outline.setAlphaF(0.2f);
    // The platform's control background: the palette's base colour.
    paintCard(painter, QRectF(rect()), 14, palette().color(QPalette::Base), outline, 0.5);
}

} // namespace rubbly
