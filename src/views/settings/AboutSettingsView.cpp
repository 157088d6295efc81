#include "AboutSettingsView.h"

#include "AppIdentity.h"
#include "Formatting.h"
#include "GeekFonts.h"
#include "GeekTheme.h"
#include "GeekWidgets.h"
#include "Painting.h"
#include "PushButton.h"
#include "SettingsForm.h"
#include "Symbols.h"
#include "UpdateServicing.h"
#include "Workspace.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QPainter>
#include <QRegularExpression>
#include <QSvgRenderer>
#include <QVBoxLayout>

#include <cmath>

namespace rubbly {

QStringList releaseNoteRows(const QString& notes)
{
    static const QRegularExpression listNumber(QStringLiteral("^[0-9]+\\.\\s*"));
    QStringList rows;
    for (const QString& line : notes.split(QLatin1Char('\n'))) {
        // Blank means only horizontal white space; the kept line itself is used as it stands.
        const bool blank = std::all_of(line.cbegin(), line.cend(), [](QChar c) {
            return c.isSpace() && c != QLatin1Char('\r') && c != QChar(0x2028) && c != QChar(0x2029);
        });
        if (blank)
            continue;
        QString row = line;
        row.replace(listNumber, QString()); // anchored: at most one match
        rows.append(row);
        if (rows.size() == 4)
            break;
    }
    return rows;
}

namespace {

const QColor kGreen(52, 199, 89);
const QColor kRed(255, 69, 58);

QColor withAlpha(QColor color, double alpha)
{
    color.setAlphaF(static_cast<float>(alpha));
    return color;
}

// A symbol in a fixed or the accent colour.
class Glyph final : public QWidget {
public:
    Glyph(const QString& symbol, qreal size, QColor color = {}, QWidget* parent = nullptr)
        : QWidget(parent)
        , m_symbol(symbol)
        , m_size(size)
        , m_color(color)
    {
        setFixedSize(static_cast<int>(std::ceil(size)) + 2, static_cast<int>(std::ceil(size)) + 2);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        paintSymbol(painter, QRectF(rect()), m_symbol, m_size,
                    m_color.isValid() ? m_color : Tint::accent(4).resolve(this));
    }

private:
    QString m_symbol;
    qreal m_size;
    QColor m_color;
};

// Text on a capsule of its own colour, faint: the Beta badge and the version badge.
class Capsule final : public QWidget {
public:
    Capsule(const QString& text, QFont font, QMargins padding, QWidget* parent = nullptr)
        : QWidget(parent)
        , m_text(text)
        , m_font(font)
    {
        const QFontMetricsF metrics(font);
        setFixedSize(static_cast<int>(std::ceil(metrics.horizontalAdvance(text))) + padding.left() + padding.right(),
                     static_cast<int>(std::ceil(metrics.height())) + padding.top() + padding.bottom());
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        const QColor accent = Tint::accent(4).resolve(this);
        paintCard(painter, QRectF(rect()), height() / 2.0, withAlpha(accent, 0.12));
        painter.setFont(m_font);
        painter.setPen(accent);
        painter.drawText(QRectF(rect()), Qt::AlignCenter, m_text);
    }

private:
    QString m_text;
    QFont m_font;
};

// A tinted card of at most 240 wide: the accent for an available or downloading update, green when
// ready.
class UpdateCard final : public QWidget {
public:
    UpdateCard(QColor color, double fill, double line, QWidget* parent = nullptr)
        : QWidget(parent)
        , m_color(color)
        , m_fill(fill)
        , m_line(line)
    {
        setFixedWidth(240);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        const QColor color = m_color.isValid() ? m_color : Tint::accent(4).resolve(this);
        paintCard(painter, QRectF(rect()), 10, withAlpha(color, m_fill), withAlpha(color, m_line), 1);
    }

private:
    QColor m_color;
    double m_fill;
    double m_line;
};

// The notes block: rows of a dot and a line of text, on a faint plate.
class NotesBlock final : public QWidget {
public:
    explicit NotesBlock(const QStringList& rows, QWidget* parent = nullptr)
        : QWidget(parent)
    {
        auto* column = new QVBoxLayout(this);
        column->setContentsMargins(6, 6, 6, 6);
        column->setSpacing(4); // 3.5 in the design; layouts take whole pixels
        for (const QString& row : rows) {
            auto* line = new QHBoxLayout;
            line->setSpacing(5);
            auto* dot = new Dot;
            line->addWidget(dot, 0, Qt::AlignTop);
            auto* text = new GeekText(row, uiFont(10), Tint::secondary());
            text->setWordWrap(true);
            text->setMaximumLines(2);
            // The card is always 240 wide, so the text's width is known: fix its height to it rather
            // than rely on height-for-width passing through the stacked, scrolled settings pages.
            text->setFixedHeight(text->heightForWidth(240 - 2 * 10 - 2 * 6 - 4 - 5));
            line->addWidget(text, 1);
            column->addLayout(line);
        }
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        paintCard(painter, QRectF(rect()), 6, withAlpha(palette().color(QPalette::WindowText), 0.03));
    }

private:
    class Dot final : public QWidget {
    public:
        Dot() { setFixedSize(4, 8); }

    protected:
        void paintEvent(QPaintEvent*) override
        {
            QPainter painter(this);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setPen(Qt::NoPen);
            painter.setBrush(withAlpha(Tint::accent(4).resolve(this), 0.8));
            painter.drawEllipse(QRectF(0.25, 4, 3.5, 3.5));
        }
    };
};

// A thin determinate bar in the accent colour.
class ProgressBar final : public QWidget {
public:
    explicit ProgressBar(double value, QWidget* parent = nullptr)
        : QWidget(parent)
        , m_value(std::clamp(value, 0.0, 1.0))
    {
        setFixedHeight(6);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        const QRectF track(0, 1, width(), 4);
        paintCard(painter, track, 2, withAlpha(palette().color(QPalette::WindowText), 0.12));
        paintCard(painter, QRectF(0, 1, width() * m_value, 4), 2, Tint::accent(4).resolve(this));
    }

private:
    double m_value;
};

// A link as a pill: a symbol and a label in the accent colour on a faint capsule of it.
class LinkPill final : public PlainButton {
public:
    LinkPill(const QString& symbol, const QString& text)
        : m_symbol(symbol)
    {
        setText(text);
        setAccessibleName(text);
        setCursor(Qt::PointingHandCursor);
        const QFontMetricsF metrics(uiFont(11, Weight::Medium));
        setFixedSize(static_cast<int>(std::ceil(11 + 5 + metrics.horizontalAdvance(text) + 20)),
                     static_cast<int>(std::ceil(metrics.height() + 10)));
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        const QColor accent = Tint::accent(4).resolve(this);
        paintCard(painter, QRectF(rect()), height() / 2.0, withAlpha(accent, isHovered() ? 0.16 : 0.08));
        paintSymbol(painter, QRectF(10, 0, 11, height()), m_symbol, 11, accent);
        painter.setFont(uiFont(11, Weight::Medium));
        painter.setPen(accent);
        painter.drawText(QRectF(26, 0, width() - 36, height()), Qt::AlignLeft | Qt::AlignVCenter, text());
        paintFocusRing(painter, QRectF(rect()), height() / 2.0);
    }

private:
    QString m_symbol;
};

// The application icon at 54: our bundled drawing, else the icon theme's.
class AppIcon final : public QWidget {
public:
    AppIcon() { setFixedSize(54, 54); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QSvgRenderer renderer(kAppIconResource);
        if (renderer.isValid()) {
            renderer.render(&painter, QRectF(rect()));
            return;
        }
        const QIcon icon = QIcon::fromTheme(kAppId);
        if (!icon.isNull()) {
            icon.paint(&painter, rect());
            return;
        }
        paintCard(painter, QRectF(rect()).adjusted(3, 3, -3, -3), 11, GeekTheme::shared().iconBackdrop);
        paintSymbol(painter, QRectF(rect()), QStringLiteral("trash"), 30, spectrum()[4]);
    }
};

QHBoxLayout* centredRow(int spacing)
{
    auto* row = new QHBoxLayout;
    row->setSpacing(spacing);
    row->addStretch();
    return row;
}

} // namespace

AboutSettingsView::AboutSettingsView(UpdateServicing& updates, Workspace& workspace, QString version, Links links,
                                     QWidget* parent)
    : QWidget(parent)
    , m_updates(updates)
    , m_workspace(workspace)
    , m_section(new QWidget)
{
    // Centred in the pane by stretches outside the column: inside it they would add two spacings of
    // 12 to its height, which then no longer fit the window and scrolled.
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(16, 16, 16, 16);
    outer->setSpacing(0);
    outer->addStretch();
    auto* column = new QVBoxLayout;
    column->setSpacing(12);
    outer->addLayout(column);
    outer->addStretch();
    column->addWidget(new AppIcon, 0, Qt::AlignHCenter);

    auto* identity = new QVBoxLayout;
    identity->setSpacing(3);
    auto* name = new GeekText(kAppName, uiFont(20, Weight::Bold), Tint::primary());
    name->setAlignment(Qt::AlignCenter);
    identity->addWidget(name);
    QHBoxLayout* versionRow = centredRow(4);
    versionRow->addWidget(
        new GeekText(QCoreApplication::translate("About", "Version %1").arg(version), uiFont(11), Tint::secondary()));
    versionRow->addWidget(
        new Capsule(QCoreApplication::translate("About", "Beta"), uiFont(9, Weight::Bold), QMargins(5, 1, 5, 1)), 0,
        Qt::AlignVCenter);
    versionRow->addStretch();
    identity->addLayout(versionRow);
    column->addLayout(identity);
    auto* description = new GeekText(
        QCoreApplication::translate("About", "A small, open tray tool that keeps your Trash and caches in check."),
        uiFont(11), Tint::secondary());
    description->setAlignment(Qt::AlignCenter);
    column->addWidget(description);

    auto* section = new QVBoxLayout(m_section);
    section->setContentsMargins(0, 2, 0, 2);
    column->addWidget(m_section);

    auto* divider = new Divider;
    divider->setFixedWidth(240);
    column->addWidget(divider, 0, Qt::AlignHCenter);

    auto* footer = new QVBoxLayout;
    footer->setSpacing(8);
    QHBoxLayout* pills = centredRow(8);
    const auto pill = [this](const QString& symbol, const QString& text, const QUrl& url) {
        auto* button = new LinkPill(symbol, text);
        button->setToolTip(url.toString());
        connect(button, &QAbstractButton::clicked, this, [this, url] { m_workspace.openUrl(url); });
        return button;
    };
    pills->addWidget(
        pill(QStringLiteral("globe"), QCoreApplication::translate("About", "Visit the website"), links.website));
    pills->addWidget(pill(QStringLiteral("link"),
                          QCoreApplication::translate("About", "Follow %1").arg(links.profileHandle), links.profile));
    pills->addStretch();
    footer->addLayout(pills);
    auto* credit =
        new GeekText(QCoreApplication::translate("About", "Built by Tolvik · 2026"), uiFont(10), Tint::tertiary());
    credit->setAlignment(Qt::AlignCenter);
    footer->addWidget(credit);
    column->addLayout(footer);

    connect(&m_updates, &UpdateServicing::statusChanged, this, &AboutSettingsView::render);
    render();
}

void AboutSettingsView::render()
{
    // Each state has its own block: build it afresh rather than patch the last one.
    delete m_stateBlock;
    m_stateBlock = new QWidget(m_section);
    m_section->layout()->addWidget(m_stateBlock);
    auto* section = new QVBoxLayout(m_stateBlock);
    section->setContentsMargins(0, 0, 0, 0);
    section->setSpacing(6);
    const UpdateStatus& status = m_updates.status();
    const auto check = [this] { m_updates.checkForUpdates(true); };
    using Kind = UpdateStatus::Kind;
    switch (status.kind()) {
    case Kind::Idle: {
        auto* button =
            new PushButton(QCoreApplication::translate("About", "Check for updates…"), PushButton::Style::Bordered);
        button->setSymbol(QStringLiteral("arrow.clockwise"), 11);
        connect(button, &QAbstractButton::clicked, this, check);
        section->addWidget(button, 0, Qt::AlignHCenter);
        break;
    }
    case Kind::Checking: {
        QHBoxLayout* row = centredRow(6);
        row->addWidget(new ActivityIndicator(Tint::accent(4), 12));
        row->addWidget(new GeekText(QCoreApplication::translate("About", "Checking for a new version…"), uiFont(11),
                                    Tint::secondary()));
        row->addStretch();
        section->addLayout(row);
        break;
    }
    case Kind::UpToDate: {
        QHBoxLayout* row = centredRow(6);
        row->addWidget(new Glyph(QStringLiteral("checkmark.circle.fill"), 13, kGreen));
        row->addWidget(
            new GeekText(QCoreApplication::translate("About", "Rubbly is up to date"), uiFont(11), Tint::secondary()));
        auto* again = new PushButton(QString(), PushButton::Style::Borderless);
        again->setSymbol(QStringLiteral("arrow.clockwise"), 11);
        again->setToolTip(QCoreApplication::translate("About", "Check again"));
        again->setAccessibleName(again->toolTip());
        connect(again, &QAbstractButton::clicked, this, check);
        row->addWidget(again);
        row->addStretch();
        section->addLayout(row);
        break;
    }
    case Kind::UpdateAvailable: {
        const UpdateInfo info = status.info();
        auto* card = new UpdateCard(QColor(), 0.06, 0.18);
        auto* column = new QVBoxLayout(card);
        column->setContentsMargins(10, 10, 10, 10);
        column->setSpacing(8);
        auto* header = new QHBoxLayout;
        header->setSpacing(6);
        header->addWidget(new Glyph(QStringLiteral("sparkles"), 12));
        header->addWidget(new GeekText(QCoreApplication::translate("About", "Update available"),
                                       uiFont(12, Weight::Semibold), Tint::primary()));
        header->addWidget(
            new Capsule(QStringLiteral("v") + info.version, uiFont(10, Weight::Bold), QMargins(6, 2, 6, 2)));
        header->addStretch();
        column->addLayout(header);
        if (!info.releaseNotes.trimmed().isEmpty())
            column->addWidget(new NotesBlock(releaseNoteRows(info.releaseNotes)));
        auto* download =
            new PushButton(QCoreApplication::translate("About", "Download update"), PushButton::Style::Prominent);
        download->setSymbol(QStringLiteral("arrow.down.circle.fill"), 11);
        download->setTextWeight(Weight::Medium);
        connect(download, &QAbstractButton::clicked, this, [this, info] { m_updates.downloadUpdate(info); });
        column->addWidget(download, 0, Qt::AlignLeft);
        section->addWidget(card, 0, Qt::AlignHCenter);
        break;
    }
    case Kind::Downloading: {
        auto* card = new UpdateCard(QColor(), 0.06, 0.18);
        auto* column = new QVBoxLayout(card);
        column->setContentsMargins(10, 10, 10, 10);
        column->setSpacing(6);
        auto* row = new QHBoxLayout;
        row->addWidget(new GeekText(QCoreApplication::translate("About", "Downloading the new version…"),
                                    uiFont(11, Weight::Medium), Tint::primary()));
        row->addStretch();
        row->addWidget(new GeekText(QString::number(progressPercent(status.progress())) + QLatin1Char('%'),
                                    monoFont(10, Weight::Bold), Tint::accent(4)));
        column->addLayout(row);
        auto* bar = new ProgressBar(status.progress());
        column->addWidget(bar);
        section->addWidget(card, 0, Qt::AlignHCenter);
        break;
    }
    case Kind::ReadyToInstall: {
        const QByteArray path = status.newAppPath();
        auto* card = new UpdateCard(kGreen, 0.08, 0.20);
        auto* column = new QVBoxLayout(card);
        column->setContentsMargins(10, 10, 10, 10);
        column->setSpacing(8);
        QHBoxLayout* row = centredRow(6);
        row->addWidget(new Glyph(QStringLiteral("checkmark.circle.fill"), 12, kGreen));
        row->addWidget(new GeekText(QCoreApplication::translate("About", "New version ready"),
                                    uiFont(11, Weight::Semibold), Tint::primary()));
        row->addStretch();
        column->addLayout(row);
        auto* install = new PushButton(QCoreApplication::translate("About", "Restart to finish updating"),
                                       PushButton::Style::Prominent);
        install->setSymbol(QStringLiteral("arrow.triangle.2.circlepath.circle.fill"), 11);
        install->setTextWeight(Weight::Semibold);
        install->setExpanding(true);
        connect(install, &QAbstractButton::clicked, this, [this, path] { m_updates.installAndRelaunch(path); });
        column->addWidget(install);
        auto* note = new GeekText(QCoreApplication::translate("About", "Rubbly replaces itself and restarts"),
                                  uiFont(9.5), Tint::secondary());
        note->setAlignment(Qt::AlignCenter);
        column->addWidget(note);
        section->addWidget(card, 0, Qt::AlignHCenter);
        break;
    }
    case Kind::Error: {
        auto* message = new GeekText(status.message(), uiFont(10), Tint::fixed(kRed));
        message->setAlignment(Qt::AlignCenter);
        message->setWordWrap(true);
        section->addWidget(message);
        auto* retry = new PushButton(QCoreApplication::translate("About", "Retry"), PushButton::Style::Bordered,
                                     PushButton::Size::Mini);
        connect(retry, &QAbstractButton::clicked, this, check);
        section->addWidget(retry, 0, Qt::AlignHCenter);
        break;
    }
    }
}

QStringList AboutSettingsView::buttonTexts() const
{
    QStringList texts;
    for (const PushButton* button : m_stateBlock->findChildren<PushButton*>())
        texts.append(button->text().isEmpty() ? button->toolTip() : button->text());
    return texts;
}

void AboutSettingsView::clickButton(const QString& text)
{
    for (PushButton* button : m_stateBlock->findChildren<PushButton*>()) {
        if (button->text() == text || (button->text().isEmpty() && button->toolTip() == text)) {
            button->click();
            return;
        }
    }
}

QStringList AboutSettingsView::texts() const
{
    QStringList all;
    for (const GeekText* text : findChildren<GeekText*>())
        all.append(text->text());
    return all;
}

} // namespace rubbly
