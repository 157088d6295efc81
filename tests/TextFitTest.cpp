#include "Motion.h"
#include "OtherSystemWords.h"
#include "Scenes.h"
#include "SettingsForm.h"
#include "UiLanguageGuard.h"

#include <QPaintEngine>
#include <QPainter>
#include <QTest>

// Declared before the test data first names the type (clang rejects a later declaration).
Q_DECLARE_METATYPE(rubbly::UiLanguage)

using namespace rubbly;
using namespace rubbly::test;

namespace {

// An image that draws nothing and writes down every text drawn on it: where it went and the
// clip in force then (the widget's visible region, narrowed by a clip the painter set, as drawText
// does around a text that does not fit its rectangle).
class TextProbe final : public QImage {
public:
    struct Drawn {
        QString text;
        QRectF bounds; // device coordinates
        QRectF clip;
    };

    // Size, depth and a 96 dpi resolution, as an image of the widget's size has them.
    explicit TextProbe(QSize size)
        : QImage(size, QImage::Format_ARGB32_Premultiplied)
        , m_engine(this)
    {
        setDotsPerMeterX(3780);
        setDotsPerMeterY(3780);
    }
    QPaintEngine* paintEngine() const override { return const_cast<Engine*>(&m_engine); }
    const QList<Drawn>& drawn() const { return m_drawn; }

private:
    class Engine final : public QPaintEngine {
    public:
        explicit Engine(TextProbe* probe)
            : QPaintEngine(QPaintEngine::AllFeatures)
            , m_probe(probe)
        {
        }
        bool begin(QPaintDevice*) override { return true; }
        bool end() override { return true; }
        void updateState(const QPaintEngineState&) override {}
        void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
        void drawPolygon(const QPointF*, int, PolygonDrawMode) override {}
        void drawTextItem(const QPointF& p, const QTextItem& item) override
        {
            const QTransform toDevice = painter()->deviceTransform();
            const QRectF logical(p.x(), p.y() - item.ascent(), item.width(), item.ascent() + item.descent());
            QRectF clip = systemClip().isEmpty() ? QRectF(m_probe->rect()) : QRectF(systemClip().boundingRect());
            if (painter()->hasClipping())
                clip &= toDevice.mapRect(painter()->clipBoundingRect());
            m_probe->m_drawn.append({item.text(), toDevice.mapRect(logical), clip});
        }
        Type type() const override { return QPaintEngine::User; }

    private:
        TextProbe* m_probe;
    };

    Engine m_engine;
    QList<Drawn> m_drawn;
};

// What is wrong with the texts of `widget` as drawn: a text cut short at the side by the place it
// was drawn in, or a form row's title shortened with an ellipsis. Texts scrolled out of view are not
// looked at.
QStringList faults(QWidget& widget, QStringList* texts)
{
    TextProbe probe(widget.size());
    widget.render(&probe);
    QStringList found;
    for (const TextProbe::Drawn& drawn : probe.drawn()) {
        texts->append(drawn.text);
        if (drawn.text.trimmed().isEmpty())
            continue;
        const bool inView = drawn.bounds.bottom() > drawn.clip.top() && drawn.bounds.top() < drawn.clip.bottom();
        if (inView &&
            (drawn.bounds.left() < drawn.clip.left() - 0.5 || drawn.bounds.right() > drawn.clip.right() + 0.5))
            found.append(QStringLiteral("\"%1\" is wider than its place").arg(drawn.text));
    }
    for (const FormRow* row : widget.findChildren<FormRow*>()) {
        if (row->isVisibleTo(&widget) && !row->hasFullText())
            found.append(QStringLiteral("the row \"%1\" is cut short").arg(row->text()));
    }
    for (const QWidget* child : widget.findChildren<QWidget*>()) {
        if (child->isVisibleTo(&widget)) {
            texts->append(child->toolTip());
            texts->append(child->accessibleName());
        }
    }
    return found;
}

} // namespace

class TextFitTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { motion::setEnabled(false); }

    void everyTextFitsItsPlaceInBothLanguages_data()
    {
        QTest::addColumn<UiLanguage>("language");
        QTest::newRow("Chinese") << UiLanguage::Chinese;
        QTest::newRow("English") << UiLanguage::English;
    }
    void everyTextFitsItsPlaceInBothLanguages()
    {
        QFETCH(UiLanguage, language);
        UiLanguageGuard guard(language);
        QStringList problems;
        QStringList texts;
        int scenes = 0;
        const auto look = [&](const QString& name, QWidget& view) {
            ++scenes;
            for (const QString& fault : faults(view, &texts))
                problems.append(name + QStringLiteral(": ") + fault);
        };
        forEachPanelScene(look);
        forEachSettingsScene(look);
        QVERIFY(scenes > 50);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
        // Nothing on screen speaks of another system, tooltips included.
        QStringList foreign = texts.filter(otherSystemWords());
        foreign.removeDuplicates();
        QVERIFY2(foreign.isEmpty(), qPrintable(foreign.join(QLatin1Char('\n'))));
        QVERIFY(texts.contains(language == UiLanguage::Chinese ? QStringLiteral("刷新") : QStringLiteral("Refresh")));
    }
};

QTEST_MAIN(TextFitTest)
#include "TextFitTest.moc"
