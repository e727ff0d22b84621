#pragma once

#include "app/feature.h"
#include "otp/otp_struct.h"

#include <QByteArray>
#include <QHash>
#include <QPointer>
#include <QString>

class QLineEdit;
class QPushButton;
class QValidator;
class OtpCheckDialog;

// The key's two OTP slots: the overview, the configuration form of each mode, the keyboard
// settings and the check offered after a slot is written. A slot's secret is kept only while
// it is written.
class OtpController : public Feature
{
public:
    // The configuration modes, in the order of their pages in the form.
    enum Mode { Hotp = 0, StaticPassword = 1, ChallengeResponse = 2 };

    OtpController(FeatureHost& host, Ui::MainWindow* ui, QObject* parent = nullptr);

    void registerHandlers() override;
    void forgetOperation() override;
    void keyGone() override;

    void openPage();
    // Back from the configuration form to the overview, listed afresh.
    void showSlots();
    void swapSlots();
    // Asks, then deletes the slot's configuration (0 = slot 1, 1 = slot 2).
    void deleteSlot(int slot);
    void configureShortTouch();
    void configureLongTouch();
    void showMode(Mode mode);
    // The static password may hold any character, or only those a keyboard types alike everywhere.
    void allowAnyCharacter(int checkState);
    void generateName(Mode mode);
    void generateKey(Mode mode);
    // OK is offered once the mode's secret is complete.
    void inputChanged(Mode mode);
    void staticKeyChanged(const QString& text);
    void configure();
    void saveWithEnter();
    void saveLanguage();
    // A device event closes the check dialog: the key that types the code may have gone.
    void closeCheck();

private:
    QLineEdit* nameField(Mode mode) const;
    QLineEdit* keyField(Mode mode) const;
    QPushButton* okButton(Mode mode) const;

    void listOTP();
    void selectOtpSubPage();
    void changeUI_OTP_List(OTP_STRUCT otp);
    void showOtpModes();
    QValidator* otpValidator(const QString& pattern);
    void getItemValue(OTP_STRUCT& otp);
    void getOTPValueWithEnter();
    void onOtpPutReply(const JSON_OBJ& reply);
    // After a HOTP slot is written: asks, then compares the key's first code with the one expected.
    void offerHotpCheck(const QString& hexKey, int digits);
    // After a challenge-response slot is written: asks, then sends the slot a random challenge
    // whose response the reply handler compares with the one computed here.
    void offerChallengeCheck(int slot, const QString& hexKey);
    void onOtpChallengeReply(const JSON_OBJ& reply);
    // The check's outcome, the same words for both kinds of slot.
    void showOtpCheckVerdict(bool matches, const QString& mismatch);
    void forgetOtpChallenge();
    void onOtpListReply(const JSON_OBJ& reply);
    void onOtpDeleteReply(const JSON_OBJ& reply);
    void onOtpSwapReply(const JSON_OBJ& reply);
    void onOtpSetLanguageReply(const JSON_OBJ& reply);
    void onOtpReadWithEnterReply(const JSON_OBJ& reply);
    void onOtpWriteWithEnterReply(const JSON_OBJ& reply);

    // The slot records as the last "otp list" (or a successful write) left them.
    OTP_STRUCT m_slots[2];
    QHash<QString, QValidator*> m_otpValidators;
    // The check running on a freshly written slot, closed when the key goes.
    QPointer<OtpCheckDialog> m_otpCheck;
    // Lower-case hex of the response the challenge in flight should get; never the secret.
    QByteArray m_otpExpectedResponse;

    friend class MainWindowTestAccess;
};
