#pragma once
// A fresh window per test, with the dialogs answered and recorded and the handler log cleared.

#include <gtest/gtest.h>

#include <QApplication>
#include <QString>
#include <QStringList>
#include <memory>

#include "app/dialogs.h"
#include "app/unit1.h"
#include "tests/app/recording_handlers.h"

class FormTest : public ::testing::Test {
  protected:
    void SetUp() override {
        RecordedCalls().clear();
        RecordedHandlerAction = nullptr;
        saved_ = Dialogs();
        Dialogs().showError = [this](const QString& text) { errors.append(text); };
        Dialogs().openAddress = [this](const std::string& address) {
            opened.append(QString::fromStdString(address));
        };
        form = std::make_unique<TForm1>();
    }

    void TearDown() override {
        form.reset();
        Dialogs() = saved_;
        RecordedHandlerAction = nullptr;
    }

    int CallsOf(const std::string& handler) const {
        int n = 0;
        for (const auto& call : RecordedCalls()) {
            n += call.handler == handler ? 1 : 0;
        }
        return n;
    }

    std::unique_ptr<TForm1> form;
    QStringList errors;
    QStringList opened;

  private:
    DialogSeams saved_;
};
