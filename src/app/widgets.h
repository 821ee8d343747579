#pragma once

#include <initializer_list>
#include <utility>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QString>
#include <QStringList>
#include <QToolButton>

// Small factories for the controls of the pages: each control carries its
// name from the window layout as objectName, which the tests and the later
// stages use to find it.
namespace tarvik::app {

template <typename Widget, typename... Args>
Widget* Named(const char* name, Args&&... args) {
  auto* widget = new Widget(std::forward<Args>(args)...);
  widget->setObjectName(QString::fromLatin1(name));
  return widget;
}

inline QLabel* MakeLabel(const char* name, const QString& text) {
  return Named<QLabel>(name, text);
}

inline QPushButton* MakeButton(const char* name, const QString& text) {
  return Named<QPushButton>(name, text);
}

// A speed button: flat, sized to its caption.
inline QToolButton* MakeSpeedButton(const char* name, const QString& text) {
  auto* button = Named<QToolButton>(name);
  button->setText(text);
  button->setToolButtonStyle(Qt::ToolButtonTextOnly);
  button->setAutoRaise(false);
  return button;
}

inline QLineEdit* MakeEdit(const char* name, const QString& text = QString()) {
  return Named<QLineEdit>(name, text);
}

inline QComboBox* MakeComboBox(const char* name, const QStringList& items, bool editable = false,
                               int index = 0) {
  auto* combo = Named<QComboBox>(name);
  combo->setEditable(editable);
  combo->addItems(items);
  if (editable && index < 0) {
    combo->setCurrentIndex(-1);
    combo->setEditText(QString());
  } else {
    combo->setCurrentIndex(index);
  }
  return combo;
}

inline QSpinBox* MakeSpinEdit(const char* name, int minimum, int maximum, int value,
                              int step = 1) {
  auto* spin = Named<QSpinBox>(name);
  spin->setRange(minimum, maximum);
  spin->setSingleStep(step);
  spin->setValue(value);
  return spin;
}

inline QSlider* MakeTrackBar(const char* name, int minimum, int maximum, int position,
                             int tickInterval) {
  auto* slider = Named<QSlider>(name, Qt::Horizontal);
  slider->setRange(minimum, maximum);
  slider->setValue(position);
  slider->setTickInterval(tickInterval);
  slider->setTickPosition(QSlider::TicksBelow);
  slider->setPageStep(tickInterval);
  return slider;
}

inline QCheckBox* MakeCheckBox(const char* name, const QString& text, bool checked = false) {
  auto* box = Named<QCheckBox>(name, text);
  box->setChecked(checked);
  return box;
}

inline QGroupBox* MakeGroupBox(const char* name, const QString& title) {
  return Named<QGroupBox>(name, title);
}

inline QPlainTextEdit* MakeMemo(const char* name) {
  auto* memo = Named<QPlainTextEdit>(name);
  memo->setLineWrapMode(QPlainTextEdit::NoWrap);
  return memo;
}

// An image control whose picture is stretched to the control.
inline QLabel* MakeImage(const char* name) {
  auto* image = Named<QLabel>(name);
  image->setScaledContents(true);
  image->setFrameShape(QFrame::StyledPanel);
  image->setMinimumSize(80, 60);
  image->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
  return image;
}

inline QProgressBar* MakeGauge(const char* name) {
  auto* gauge = Named<QProgressBar>(name);
  gauge->setRange(0, 100);
  gauge->setValue(0);
  return gauge;
}

// Hides a control of the layout that code shows later (or never).
template <typename Widget>
Widget* Hidden(Widget* widget) {
  widget->setVisible(false);
  return widget;
}

}  // namespace tarvik::app
