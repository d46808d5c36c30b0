#pragma once
#include <QIcon>
#include <QObject>
#include <QString>
#include <QTranslator>

class QMenu;

// Tarvik's languages: one checkable entry in `menu` for each translation
// beside the program (translations/Tarvik_<code>.qm, its flag <code>.png),
// the program's and the toolkit's translators switched together.
class Languages : public QObject {
    Q_OBJECT
public:
    explicit Languages(QMenu* menu);
    // Fills the menu and loads the system locale's language where there is
    // a translation for it (after `changed` is connected).
    void fill();
    // Loads the language of this code ("ru"); nothing when it is loaded already.
    void load(const QString& code);
    // The language code of the system's locale: de_DE gives de.
    static QString system_language();

signals:
    // A language was loaded: its English name and its menu entry's flag
    // (none for a language the menu does not offer).
    void changed(const QString& english_name, const QIcon& flag);

private:
    void switch_translator(QTranslator& translator, const QString& filename);

    QMenu* menu_;
    QString folder_;
    QString current_;
    QTranslator translator_, qt_translator_;
};
