#include "languages.h"

#include <QActionGroup>
#include <QApplication>
#include <QDir>
#include <QLocale>
#include <QMenu>

namespace {

QString english_language_name(const QString& code) { return QLocale::languageToString(QLocale(code).language()); }

}  // namespace

Languages::Languages(QMenu* menu)
    : QObject(menu), menu_(menu), folder_(QApplication::applicationDirPath() + QStringLiteral("/../translations"))
{
}

QString Languages::system_language()
{
    const QString name = QLocale::system().name();
    const qsizetype cut = name.lastIndexOf(u'_');
    return cut < 0 ? name : name.left(cut);
}

void Languages::fill()
{
    auto* group = new QActionGroup(menu_);
    group->setExclusive(true);
    connect(group, &QActionGroup::triggered, this, [this](QAction* action) {
        if (action) load(action->data().toString());
    });
    const QString default_language = system_language();
    for (const QString& file : QDir(folder_).entryList({QStringLiteral("Tarvik_*.qm")})) {
        QString code = file.left(file.lastIndexOf(u'.'));
        code.remove(0, code.lastIndexOf(u'_') + 1);
        auto* action = new QAction(QIcon(QStringLiteral("%1/%2.png").arg(folder_, code)), english_language_name(code), menu_);
        action->setCheckable(true);
        action->setData(code);
        menu_->addAction(action);
        group->addAction(action);
        if (code == default_language) {
            action->setChecked(true);
            action->trigger();
        }
    }
}

void Languages::load(const QString& code)
{
    if (code == current_) return;
    current_ = code;
    QLocale::setDefault(QLocale(code));
    switch_translator(translator_, QStringLiteral("Tarvik_%1.qm").arg(code));
    switch_translator(qt_translator_, QStringLiteral("qt_%1.qm").arg(code));
    QIcon flag;
    for (const QAction* action : menu_->actions())
        if (action->data().toString() == code) flag = action->icon();
    emit changed(english_language_name(code), flag);
}

void Languages::switch_translator(QTranslator& t, const QString& filename)
{
    QApplication::removeTranslator(&t);
    if (t.load(folder_ + u'/' + filename)) QApplication::installTranslator(&t);
}
