#pragma once

#include "app/feature.h"

#include <QString>

class QCheckBox;
class QWidget;
class ReplugFlow;

// The key itself: whether one is present, its details on the home page, and which applications
// and transports it has switched on. A switch of transports runs across a re-plug.
class DeviceController : public Feature
{
public:
    // `replug` gets the device events while its flow waits for the key to come back.
    DeviceController(FeatureHost& host, Ui::MainWindow* ui, ReplugFlow& replug, QObject* parent = nullptr);

    void registerHandlers() override;
    void forgetOperation() override;

    // A presence event: one key, none, or several.
    void changeUI_Device(const JSON_OBJ& event);
    // No key, or several: the no-key page, unless a re-plug flow waits for the removal.
    void keyRemoved(quint32 event);
    void readKeyDetails();
    // Hides (or shows) the FIDO, PIV and OTP menu items.
    void hideAppItems(bool hide);
    void openHome();
    void openApplications();
    void openInterfaces();
    void saveApplications();
    void saveTransports();

    QString model() const { return m_model; }
    QString identity() const { return m_keyIdentity; }

private:
    // The transport and application texts of a details reply, carried from map to map.
    struct KeyTexts
    {
        QString transport;
        QString application;
    };

    void keyInserted();
    void reset_app_state();
    void update_device_interface();
    void onStartupReply(const JSON_OBJ& reply);
    void onDeviceInfoReply(const JSON_OBJ& reply);
    void onSetApplicationReply(const JSON_OBJ& reply);
    void onSetTransportReply(const JSON_OBJ& reply);
    void showDetail(const QByteArray& key, const QString& value, KeyTexts& texts);
    void applyTransportRules(const QString& transport, bool startupLooks);
    void applyApplicationRules(const QString& transport, const QString& application);
    void applyApplicationRulesOnChange(const KeyTexts& texts, KeyTexts& applied);
    void showApplication(QCheckBox* box, QWidget* indicator, int bit);
    void showIndicator(QCheckBox* box, QWidget* indicator, bool on);
    int checkedApplications() const;
    void showKeyPicture(bool inserted);

    // Serial number, or name, PID and version where the serial is hidden.
    static QString identityOf(const JSON_OBJ& details);

    ReplugFlow& m_replug;
    QString m_model;
    QString m_keyIdentity;
    // A transport switch was accepted: the key's removal and return are part of it.
    bool m_isSwitching = false;
    int m_pendingAppMask = 0;
    // The last device command line built for a switch.
    QString g_tmpBuf;
    // The key picture is drawn once per pass of the event loop, however many events came at once.
    bool m_keyPictureInserted = false;
    bool m_keyPictureQueued = false;

    friend class MainWindowTestAccess;
};
