#include "ui/app/AboutDialog.h"

#include <QApplication>
#include <QComboBox>
#include <QDesktopServices>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QStyle>
#include <QTabBar>
#include <QUrl>
#include <QVBoxLayout>

namespace merilog::ui {

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
  const AboutBoxViewState& v = model_.View();
  auto* top = new QVBoxLayout(this);

  tabs_ = new QTabBar(this);
  for (const QString& label : v.tabLabels) tabs_->addTab(label);
  top->addWidget(tabs_);

  auto* page = new QHBoxLayout;
  icon_ = new QLabel(this);
  const QIcon programIcon =
      parent && !parent->windowIcon().isNull() ? parent->windowIcon() : style()->standardIcon(QStyle::SP_ComputerIcon);
  icon_->setPixmap(programIcon.pixmap(32, 32));
  icon_->setAlignment(Qt::AlignTop);
  page->addWidget(icon_);
  auto* texts = new QVBoxLayout;
  name_ = new QLabel(this);
  QFont heavy(v.nameFont.family);
  heavy.setPixelSize(v.nameFont.pixelHeight);
  heavy.setWeight(static_cast<QFont::Weight>(v.nameFont.weight));
  name_->setFont(heavy);
  version_ = new QLabel(this);
  notice_ = new QLabel(this);
  notice_->setWordWrap(true);
  link_ = new QLabel(this);
  // The link looks like one; the model decides the cursor and the click.
  QFont underlined = link_->font();
  underlined.setUnderline(true);
  link_->setFont(underlined);
  QPalette linkPalette = link_->palette();
  linkPalette.setColor(QPalette::WindowText, linkPalette.color(QPalette::Link));
  link_->setPalette(linkPalette);
  for (QLabel* l : {name_, version_, notice_, link_}) texts->addWidget(l);
  languages_ = new QComboBox(this);
  languages_->addItems(v.languages);
  texts->addWidget(languages_);
  texts->addStretch();
  page->addLayout(texts, 1);
  top->addLayout(page);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  ok_ = new QPushButton(this);
  ok_->setDefault(true);
  buttons->addWidget(ok_);
  top->addLayout(buttons);

  setWindowTitle(v.title);
  name_->setText(v.programName);
  version_->setText(v.versionText);
  notice_->setText(v.noticeText);
  link_->setText(v.linkText);
  ok_->setText(v.okText);
  setMinimumWidth(420);

  // The pointer is watched over the whole box, whichever child it is over.
  setMouseTracking(true);
  for (QWidget* w : findChildren<QWidget*>()) {
    w->setMouseTracking(true);
    w->installEventFilter(this);
  }
  installEventFilter(this);

  connect(tabs_, &QTabBar::currentChanged, this, [this](int tab) {
    model_.TabChanged(tab);
    Render();
  });
  connect(languages_, &QComboBox::activated, this, [this](int position) {
    model_.LanguageChosen(position);
    Render();
  });
  connect(ok_, &QPushButton::clicked, this, [this] {
    model_.Ok();
    accept();
  });
  Render();
  // Sized for the About tab, the larger one, so switching tabs never resizes the box.
  adjustSize();
  setFixedSize(size());
}

QRect AboutDialog::LinkRect() const {
  return QRect(link_->mapTo(this, QPoint(0, 0)), link_->size());
}

void AboutDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  model_.Shown();
  Render();
}

bool AboutDialog::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseMove || event->type() == QEvent::MouseButtonPress) {
    auto* mouse = static_cast<QMouseEvent*>(event);
    const QPoint at = mapFromGlobal(mouse->globalPosition().toPoint());
    if (event->type() == QEvent::MouseMove) {
      if (model_.MouseMoved(at, LinkRect()) == AboutCursor::Hand)
        setCursor(Qt::PointingHandCursor);
      else
        unsetCursor();
    } else if (mouse->button() == Qt::LeftButton && link_->isVisible() && model_.LeftButtonPressed(at, LinkRect())) {
      QDesktopServices::openUrl(QUrl(model_.View().linkAddress));
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void AboutDialog::Render() {
  const AboutBoxViewState& v = model_.View();
  {
    const QSignalBlocker block(tabs_);
    tabs_->setCurrentIndex(v.currentTab);
  }
  for (QWidget* w : std::initializer_list<QWidget*>{icon_, name_, version_, notice_, link_})
    w->setVisible(v.aboutItemsShown);
  languages_->setVisible(v.languageChooserShown);
  const QSignalBlocker block(languages_);
  languages_->setCurrentIndex(v.languageIndex);
}

void ShowAboutBox(QWidget* parent) {
  AboutDialog box(parent);
  box.exec();
}

}  // namespace merilog::ui
