#pragma once

#include "GeekWidgets.h"

namespace rubbly {

// A small word that acts, set among the panel's text lines ("Undo", "PUT BACK", "DELETE"): bold, in
// one accent colour of the theme, on a faint card of that colour while hovered. It is as wide as its
// word, so a relabel ("NEWEST" → "LARGEST") makes room for itself.
class TextButton final : public PlainButton {
    Q_OBJECT
public:
    // `accent` is the theme's accent index (4 the panel's cyan, 10 its danger red).
    explicit TextButton(const QString& text, int accent = 4, QWidget* parent = nullptr);
    // Shows `text`; a screen reader hears it too unless nameFor() gave the button a name of its own.
    void setLabel(const QString& text);
    // A spoken name for a word that says too little on its own.
    void nameFor(const QString& name);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    int m_accent;
    bool m_namedByText = true;
};

} // namespace rubbly
